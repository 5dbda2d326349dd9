#include "analysis/SampleFormat.h"

#include <cmath>

namespace tev {
namespace {

template <class T>
double StandardDeviation(const T* values, size_t n) noexcept {
    if (n == 0) {
        return 0.0;
    }
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        sum += static_cast<double>(values[i]);
    }
    const double mean = sum / static_cast<double>(n);
    double squares = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double d = static_cast<double>(values[i]) - mean;
        squares += d * d;
    }
    return std::sqrt(squares / static_cast<double>(n));
}

}  // namespace

void InterleaveStereo16(const int16_t* left, const int16_t* right, int16_t* out,
                        size_t n) noexcept {
    for (size_t k = 0; k < n; ++k) {
        out[2 * k] = left[k];
        out[2 * k + 1] = right[k];
    }
}

void DeinterleaveStereo16(const int16_t* in, int16_t* left, int16_t* right, size_t total) noexcept {
    for (size_t k = 0; k < total / 2; ++k) {
        left[k] = in[2 * k];
        right[k] = in[2 * k + 1];
    }
}

void DeinterleaveStereoFloat(const float* in, float* left, float* right, size_t total) noexcept {
    for (size_t k = 0; k < total / 2; ++k) {
        left[k] = in[2 * k];
        right[k] = in[2 * k + 1];
    }
}

void MonoToStereo16(const int16_t* in, int16_t* out, size_t n) noexcept {
    for (size_t k = 0; k < n; ++k) {
        out[2 * k] = in[k];
        out[2 * k + 1] = in[k];
    }
}

void Widen8To16(const uint8_t* in, int16_t* out, size_t count) noexcept {
    for (size_t i = 0; i < count; ++i) {
        out[i] = static_cast<int16_t>((static_cast<int>(in[i]) - 128) * 256);
    }
}

float LevelDb(const float* values, size_t n) noexcept {
    const double sigma = StandardDeviation(values, n);
    return sigma == 0.0 ? 0.0F : static_cast<float>(20.0 * std::log10(sigma));
}

float LevelDb16(const int16_t* values, size_t n) noexcept {
    const long sigma = std::lround(StandardDeviation(values, n));
    return sigma == 0 ? 0.0F : static_cast<float>(20.0 * std::log10(static_cast<double>(sigma)));
}

}  // namespace tev
