#include "analysis/FilterBank.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <iterator>
#include <numbers>
#include <tuple>

#include "analysis/SampleFormat.h"
#include "platform/Multiversion.h"

namespace tev {

FilterBank chartBanks[kDeckCount];
FilterBank octaveBanks[kDeckCount];
FilterBank equalizerBanks[kDeckCount];

namespace {

constexpr int kChunk = FilterBank::kChunk;

// Tap counts of the layouts that have their own, lowest band first.
constexpr int kTaps2[] = {68, 46};
constexpr int kTaps3[] = {256, 160, 45};
constexpr int kTaps5[] = {282, 499, 262, 75, 49};
constexpr int kTaps6[] = {182, 396, 162, 75, 49, 25};
constexpr int kTaps12[] = {400, 500, 412, 307, 326, 238, 100, 100, 100, 100, 100, 100};
constexpr std::array<int, 30> kTaps30 = [] {
    std::array<int, 30> taps{400, 500};
    for (int b = 2; b < 30; ++b) {
        taps[b] = 490 - 10 * (b - 2);
    }
    return taps;
}();
constexpr int kDefaultTaps = 256;

const int* PresetTaps(int bands) noexcept {
    switch (bands) {
        case 2:
            return kTaps2;
        case 3:
            return kTaps3;
        case 5:
            return kTaps5;
        case 6:
            return kTaps6;
        case 12:
            return kTaps12;
        case 30:
            return kTaps30.data();
        default:
            return nullptr;
    }
}

// Clip protection keeps the mix inside the 16-bit range.
constexpr float kClipLow = -32768.0F;
constexpr float kClipHigh = 32767.0F;
constexpr float kClipStep = 0.1F;
constexpr float kRecoveryStep = 0.02F;

// A window-method low-pass with `cutoff` in cycles per sample: the ideal response's sinc,
// centred at (taps-1)/2, times a Hamming window, scaled to unit gain at DC.
void WindowedLowpass(double cutoff, int taps, double* h) noexcept {
    const double middle = (taps - 1) / 2.0;
    double sum = 0.0;
    for (int k = 0; k < taps; ++k) {
        const double x = 2.0 * cutoff * (k - middle);
        const double sinc =
            x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        const double window = 0.54 - 0.46 * std::cos(2.0 * std::numbers::pi * k / (taps - 1));
        h[k] = 2.0 * cutoff * sinc * window;
        sum += h[k];
    }
    for (int k = 0; k < taps; ++k) {
        h[k] /= sum;
    }
}

// out[k] = sum over j of h[j] * in[k + taps - 1 - j], for k < kChunk. A block of 64 outputs
// stays in registers while the taps go by, so each product costs one load and no store; the last
// block overlaps the one before it rather than running past the chunk.
TEV_WITH_FMA_BUILD
void Convolve(const float* __restrict h, int taps, const float* __restrict in,
              float* __restrict out) noexcept {
    constexpr int kBlock = 64;
    for (int k0 = 0; k0 < kChunk; k0 += kBlock) {
        const int first = std::min(k0, kChunk - kBlock);
        float acc[kBlock] = {};
        const float* newest = in + first + taps - 1;
        for (int j = 0; j < taps; ++j) {
            const float c = h[j];
            const float* x = newest - j;
            for (int m = 0; m < kBlock; ++m) {
                acc[m] += c * x[m];
            }
        }
        std::copy(acc, acc + kBlock, out + first);
    }
}

void Scale(const float* __restrict in, float gain, float* __restrict out) noexcept {
    for (int k = 0; k < kChunk; ++k) {
        out[k] = in[k] * gain;
    }
}

}  // namespace

FilterBank::FilterBank() noexcept {
    std::fill(std::begin(tapCount_), std::end(tapCount_), kDefaultTaps);
    std::fill(std::begin(gain_), std::end(gain_), 1.0F);
    std::fill(std::begin(currentGain_), std::end(currentGain_), 1.0F);
    axisRatio_ = std::pow(2.0, 1.0 / 64.0);
    axisStart_ = 20000.0 / 1024.0 * axisRatio_;
    double f = axisStart_;
    for (float& point : freqAxis_) {
        f *= axisRatio_;
        point = static_cast<float>(f);
    }
}

void FilterBank::Design(int bands) noexcept {
    const int n = std::clamp(bands, kMinBands, kMaxBands);
    numBands_ = n;
    const int* preset = PresetTaps(n);
    for (int b = 0; b < n; ++b) {
        tapCount_[b] = preset != nullptr ? preset[b] : kDefaultTaps;
        std::fill(std::begin(bandOut_[b]), std::end(bandOut_[b]), 0.0F);
    }

    // Ten octaves shared by n bands, below the top band's centre: band 0 a low-pass, the top
    // band reaching Nyquist.
    const double top = n < 10 ? 12000.0 : 16000.0;
    const double r = std::pow(2.0, 10.0 / n);
    const double halfBand = std::sqrt(r);
    double upper = top / std::pow(r, n - 1) * halfBand;
    centerFreq_[0] = upper / halfBand;
    bandEdges_[0][0] = axisStart_;
    bandEdges_[0][1] = upper;
    for (int b = 1; b < n; ++b) {
        const double lower = upper;
        upper = b == n - 1 ? sampleRate_ / 2 : lower * r;
        centerFreq_[b] = lower * halfBand;
        bandEdges_[b][0] = lower;
        bandEdges_[b][1] = upper;
    }

    // Each band is the difference of two unit-DC-gain low-passes at its edges, the top band's
    // upper one at Nyquist (an impulse for an odd tap count, the windowed half-sample delay for
    // an even one). So every band has unit gain where its taps resolve it, and the bands of a
    // layout with one tap count add up to that all-pass exactly. A band is not rescaled at its
    // centre: that would lift a band too narrow for its taps far above its neighbours. An even
    // top band is symmetric, so it falls to zero in the last few hundred hertz below Nyquist
    // rather than rising to it; nothing of a 44.1 kHz recording lives there.
    double lowerTaps[kMaxTaps];
    for (int b = 0; b < n; ++b) {
        const int taps = tapCount_[b];
        double* h = tapsDouble_[b];
        WindowedLowpass(bandEdges_[b][1] / sampleRate_, taps, h);
        if (b > 0) {
            WindowedLowpass(bandEdges_[b][0] / sampleRate_, taps, lowerTaps);
            for (int k = 0; k < taps; ++k) {
                h[k] -= lowerTaps[k];
            }
        }
        for (int k = 0; k < taps; ++k) {
            tapsFloat_[b][k] = static_cast<float>(h[k]);
        }
        ComputeRawResponse(b);
        UpdateBandResponse(b);
    }
}

void FilterBank::SelectAnalysisLayout(int mode) noexcept {
    if (mode == 1) {
        Design(10);
    } else if (mode == 3) {
        Design(31);
    }
}

void FilterBank::ComputeRawResponse(int band) noexcept {
    // H(f) = sum of h[k] e^(-i k w): every axis point's phasor turns by its own step per tap, so
    // the inner loop runs across the points and needs no cosine or sine per tap.
    double re[kResponsePoints] = {};
    double im[kResponsePoints] = {};
    double phasorRe[kResponsePoints];
    double phasorIm[kResponsePoints];
    double stepRe[kResponsePoints];
    double stepIm[kResponsePoints];
    for (int i = 0; i < kResponsePoints; ++i) {
        const double w = 2.0 * std::numbers::pi * freqAxis_[i] / sampleRate_;
        phasorRe[i] = 1.0;
        phasorIm[i] = 0.0;
        stepRe[i] = std::cos(w);
        stepIm[i] = -std::sin(w);
    }
    const double* h = tapsDouble_[band];
    for (int k = 0; k < tapCount_[band]; ++k) {
        const double c = h[k];
        for (int i = 0; i < kResponsePoints; ++i) {
            re[i] += c * phasorRe[i];
            im[i] += c * phasorIm[i];
            const double turned = phasorRe[i] * stepRe[i] - phasorIm[i] * stepIm[i];
            phasorIm[i] = phasorRe[i] * stepIm[i] + phasorIm[i] * stepRe[i];
            phasorRe[i] = turned;
        }
    }
    for (int i = 0; i < kResponsePoints; ++i) {
        // A zero of the response could fall on a point: keep the curve finite there.
        const double magnitude = std::max(std::sqrt(re[i] * re[i] + im[i] * im[i]), DBL_MIN);
        rawResponse_[band][i] = static_cast<float>(20.0 * std::log10(magnitude));
    }
}

void FilterBank::UpdateBandResponse(int band) noexcept {
    if (!HasBand(band)) {
        return;
    }
    for (int i = 0; i < kResponsePoints; ++i) {
        scaledResponse_[band][i] =
            (rawResponse_[band][i] + kFullScaleDb) * gain_[band] - kFullScaleDb;
    }
}

void FilterBank::ProcessChunk(float* input, bool copyBack, bool clipProtect, bool* clipped,
                              bool singleBand) noexcept {
    std::copy(work_ + kChunk, work_ + kChunk + kHistory, work_);
    std::copy(input, input + kChunk, work_ + kHistory);
    std::fill(std::begin(mix_), std::end(mix_), 0.0F);
    // Highest band first: under clip protection the bands processed last give way.
    for (int b = singleBand ? 0 : numBands_ - 1; b >= 0; --b) {
        ProcessBand(b, clipProtect, clipped);
    }
    if (copyBack) {
        std::copy(std::begin(mix_), std::end(mix_), input);
    }
}

void FilterBank::ProcessBand(int band, bool clipProtect, bool* clipped) noexcept {
    Convolve(tapsFloat_[band], tapCount_[band], work_, convOut_);
    float gain = clipProtect ? currentGain_[band] : gain_[band];
    Scale(convOut_, gain, temp_);
    for (int k = 0; k < kChunk; ++k) {
        mix_[k] += temp_[k];
    }
    if (clipProtect) {
        auto [low, high] = std::minmax_element(std::begin(mix_), std::end(mix_));
        while ((*low <= kClipLow || *high >= kClipHigh) && gain > 0.0F) {
            if (clipped != nullptr) {
                *clipped = true;
            }
            gain = std::max(gain - kClipStep, 0.0F);
            for (int k = 0; k < kChunk; ++k) {
                mix_[k] -= temp_[k];
            }
            Scale(convOut_, gain, temp_);
            for (int k = 0; k < kChunk; ++k) {
                mix_[k] += temp_[k];
            }
            std::tie(low, high) = std::minmax_element(std::begin(mix_), std::end(mix_));
        }
        // The band's output below keeps the gain it sounded at; the climb shows next chunk.
        if (gain_[band] > gain) {
            gain = std::min(gain + kRecoveryStep, gain_[band]);
        }
        currentGain_[band] = gain;
    }
    std::copy(std::begin(temp_), std::end(temp_), bandOut_[band]);
}

void FilterBank::SetBandGain(int band, float gain) noexcept {
    if (HasBand(band)) {
        gain_[band] = gain;
        currentGain_[band] = gain;
    }
}

float FilterBank::GetBandGain(int band) const noexcept {
    return HasBand(band) ? gain_[band] : 0.0F;
}

double FilterBank::GetCenterFrequency(int band) const noexcept {
    return HasBand(band) ? centerFreq_[band] : 0.0;
}

float FilterBank::GetBandMin(int band) const noexcept {
    return HasBand(band) ? *std::min_element(std::begin(bandOut_[band]), std::end(bandOut_[band]))
                         : 0.0F;
}

float FilterBank::GetBandMax(int band) const noexcept {
    return HasBand(band) ? *std::max_element(std::begin(bandOut_[band]), std::end(bandOut_[band]))
                         : 0.0F;
}

float FilterBank::GetBandLevelDb(int band) const noexcept {
    return HasBand(band) ? LevelDb(bandOut_[band], kChunk) : 0.0F;
}

void FilterBank::GetFrequencyAxis(float* out) const noexcept {
    std::copy(std::begin(freqAxis_), std::end(freqAxis_), out);
}

void FilterBank::GetBandResponse(int band, float* out) const noexcept {
    if (HasBand(band)) {
        std::copy(std::begin(scaledResponse_[band]), std::end(scaledResponse_[band]), out);
    } else {
        std::fill(out, out + kResponsePoints, 0.0F);
    }
}

}  // namespace tev
