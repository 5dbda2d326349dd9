#include "platform/SincResampler.h"

#include <algorithm>
#include <cmath>

#include "platform/AudioThread.h"

namespace tev {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Stop-band attenuation in decibels, and the Kaiser window's shape for it.
constexpr double kAttenuation = 90.0;
const double kKaiserBeta = 0.1102 * (kAttenuation - 8.7);
// Steps are served by kernels designed for the next hundredth above them.
constexpr double kStepGrain = 100.0;

double BesselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 60; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < sum * 1e-17) {
            break;
        }
    }
    return sum;
}

}  // namespace

SincKernel::SincKernel(double step) {
    // Band edges as fractions of the input's rate. The pass band keeps 40 % of it while the
    // output can carry it; the stop band starts where images (when slowing down) or aliases
    // (when speeding up) would otherwise fold back below 40 % of the output's rate: only sound
    // above 20 kHz may fold back, and only above 17.6 kHz.
    const double s = std::max(step, 1.0);
    const double pass = std::min(0.4, 0.47 / s);
    const double stop = std::min(0.565, 0.6 / s);
    const double cutoff = (pass + stop) / 2.0;
    const double width = 2.0 * kPi * (stop - pass);
    int taps = static_cast<int>(std::ceil((kAttenuation - 7.95) / (2.285 * width)));
    taps = std::clamp((taps + 3) / 4 * 4, 16, SincResampler::kMaxTaps);
    taps_ = taps;

    const double half = taps / 2.0;
    const double norm = BesselI0(kKaiserBeta);
    std::vector<double> row(static_cast<size_t>(taps));
    std::vector<float> all(static_cast<size_t>(kPhases + 1) * 2 * taps);
    for (int p = 0; p <= kPhases; ++p) {
        const double frac = static_cast<double>(p) / kPhases;
        double sum = 0.0;
        for (int i = 0; i < taps; ++i) {
            const double t = (i - tapsBefore()) - frac;  // distance from the position
            const double x = 2.0 * cutoff * t;
            const double sinc = x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
            const double r = t / half;
            const double window =
                std::abs(r) >= 1.0 ? 0.0 : BesselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / norm;
            row[static_cast<size_t>(i)] = sinc * window;
            sum += row[static_cast<size_t>(i)];
        }
        for (int i = 0; i < taps; ++i) {
            // Unity gain at DC for every phase, so a steady level does not ripple.
            const auto c = static_cast<float>(row[static_cast<size_t>(i)] / sum);
            const size_t at = (static_cast<size_t>(p) * taps + static_cast<size_t>(i)) * 2;
            all[at] = c;
            all[at + 1] = c;
        }
    }
    const size_t rowValues = 2 * static_cast<size_t>(taps);
    rows_.assign(all.begin(), all.end() - static_cast<ptrdiff_t>(rowValues));
    deltas_.resize(rows_.size());
    for (size_t j = 0; j < rows_.size(); ++j) {
        deltas_[j] = all[j + rowValues] - all[j];
    }
}

SincResampler& SincResampler::Instance() {
    static SincResampler resampler;
    return resampler;
}

const SincKernel* SincResampler::KernelFor(double step) {
    TEV_NOT_ON_THE_AUDIO_THREAD();
    const int grain = step <= 1.0 || !std::isfinite(step)
                          ? 0
                          : static_cast<int>(std::ceil(std::min(step - 1.0, 1e4) * kStepGrain));
    const std::lock_guard<std::mutex> lock(mutex_);
    std::unique_ptr<SincKernel>& kernel = kernels_[grain];
    if (kernel == nullptr) {
        kernel = std::make_unique<SincKernel>(1.0 + grain / kStepGrain);
    }
    return kernel.get();
}

}  // namespace tev
