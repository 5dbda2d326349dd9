#include "platform/SincResampler.h"

#include <cmath>

namespace tev {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Pass band up to 90 % of the input's Nyquist frequency.
constexpr double kCutoff = 0.45;
constexpr double kKaiserBeta = 9.0;

double BesselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < sum * 1e-17) {
            break;
        }
    }
    return sum;
}

}  // namespace

const SincResampler& SincResampler::Instance() {
    static const SincResampler resampler;
    return resampler;
}

SincResampler::SincResampler() {
    const double half = kTaps / 2.0;
    const double norm = BesselI0(kKaiserBeta);
    for (int p = 0; p <= kPhases; ++p) {
        const double frac = static_cast<double>(p) / kPhases;
        double sum = 0.0;
        std::array<double, kTaps> row{};
        for (int i = 0; i < kTaps; ++i) {
            const double t = (i - kTapsBefore) - frac;  // distance from the position
            const double x = 2.0 * kCutoff * t;
            const double sinc = t == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
            const double r = t / half;
            const double window =
                std::abs(r) >= 1.0 ? 0.0 : BesselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / norm;
            row[static_cast<size_t>(i)] = sinc * window;
            sum += row[static_cast<size_t>(i)];
        }
        for (int i = 0; i < kTaps; ++i) {
            // Unity gain at DC for every phase, so a steady level does not ripple.
            const auto c = static_cast<float>(row[static_cast<size_t>(i)] / sum);
            table_[static_cast<size_t>(p)][static_cast<size_t>(2 * i)] = c;
            table_[static_cast<size_t>(p)][static_cast<size_t>(2 * i + 1)] = c;
        }
    }
}

}  // namespace tev
