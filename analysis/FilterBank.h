#pragma once

#include "core/EngineState.h"

namespace tev {

// A bank of 2 to 30 windowed-FIR band filters on logarithmically spaced bands: splits a chunk of
// mono audio (on the 16-bit scale) into bands, weights each band by its gain and sums them into a
// mix, measures each band, and keeps each band's frequency response on a fixed logarithmic axis
// for display.
//
// Every buffer is an array inside the object (about 740 KB, so a bank belongs in static storage);
// no operation allocates or locks. A bank belongs to one thread at a time: an analysis bank to its
// deck's analysis thread, an equalizer bank to the UI thread.
class FilterBank {
  public:
    static constexpr int kMaxBands = 30;
    static constexpr int kMinBands = 2;
    static constexpr int kMaxTaps = 512;
    // Samples of the previous chunk kept so that the longest filter sees across the boundary.
    static constexpr int kHistory = kMaxTaps - 1;
    static constexpr int kChunk = static_cast<int>(kChunkFrames);
    // The display axis: 640 points in 1/64-octave steps from about 20 Hz to 20 kHz.
    static constexpr int kResponsePoints = 640;
    // The dynamic range of 16-bit audio: a gain scales a response's distance from -96.33 dB.
    static constexpr float kFullScaleDb = 96.33F;

    // No bands until Design; every gain 1, the history silent.
    FilterBank() noexcept;
    FilterBank(const FilterBank&) = delete;
    FilterBank& operator=(const FilterBank&) = delete;

    // Designs `bands` bands (clamped to 2 ... 30) over ten octaves below the top band's centre,
    // 12 kHz below ten bands and 16 kHz from ten, and computes their responses. Gains and the
    // history carry over, so a running bank can change its layout between chunks.
    void Design(int bands) noexcept;
    // The analyzer's layouts: mode 1 is the octave graph's ten bands, mode 3 the thirty
    // third-octave bands; other modes leave the bank as it is.
    void SelectAnalysisLayout(int mode) noexcept;

    // Filters one chunk of kChunk samples, highest band first, into the mix. With clipProtect a
    // band that drives the mix past the 16-bit range is lowered by 0.1 until it fits, setting
    // *clipped (when not null; it is never cleared here), and climbs back by 0.02 a chunk towards
    // its gain. With singleBand only band 0 is filtered. With copyBack the mix replaces the input.
    void ProcessChunk(float* input, bool copyBack, bool clipProtect, bool* clipped,
                      bool singleBand) noexcept;

    // Sets the band's gain, at once: protection's lowering starts again from it. It applies from
    // the next chunk; the displayed curve follows on UpdateBandResponse. Both ignore a band
    // outside the layout.
    void SetBandGain(int band, float gain) noexcept;
    void UpdateBandResponse(int band) noexcept;

    // A band outside 0 ... GetNumBands()-1 reads as 0.
    int GetNumBands() const noexcept { return numBands_; }
    float GetBandGain(int band) const noexcept;
    double GetCenterFrequency(int band) const noexcept;
    // The band's weighted output in the last chunk: its extremes and its level in dB.
    float GetBandMin(int band) const noexcept;
    float GetBandMax(int band) const noexcept;
    float GetBandLevelDb(int band) const noexcept;
    // Copies kResponsePoints values: the axis in Hz, or the band's response in dB with its gain
    // applied (zeros for a band outside the layout).
    void GetFrequencyAxis(float* out) const noexcept;
    void GetBandResponse(int band, float* out) const noexcept;

  private:
    bool HasBand(int band) const noexcept { return band >= 0 && band < numBands_; }
    void ProcessBand(int band, bool clipProtect, bool* clipped) noexcept;
    void ComputeRawResponse(int band) noexcept;

    double tapsDouble_[kMaxBands][kMaxTaps] = {};
    alignas(16) float tapsFloat_[kMaxBands][kMaxTaps] = {};
    int tapCount_[kMaxBands];
    float bandOut_[kMaxBands][kChunk] = {};
    int numBands_ = 0;
    double centerFreq_[kMaxBands] = {};
    double bandEdges_[kMaxBands][2] = {};
    // The current band's filtered chunk: the part of the full convolution where every tap meets
    // a sample.
    alignas(16) float convOut_[kChunk] = {};
    alignas(16) float mix_[kChunk] = {};
    float rawResponse_[kMaxBands][kResponsePoints] = {};
    float scaledResponse_[kMaxBands][kResponsePoints] = {};
    float freqAxis_[kResponsePoints];
    float gain_[kMaxBands];
    // The gain applied under clip protection: gain_ or less while the band recovers.
    float currentGain_[kMaxBands];
    double axisStart_;
    double axisRatio_;
    // kHistory samples of the previous chunk, then the current chunk.
    alignas(16) float work_[kHistory + kChunk] = {};
    alignas(16) float temp_[kChunk] = {};
    const double sampleRate_ = 44100.0;
};

// The process's banks, per deck (0 Deck A, 1 Deck B). The analyzer designs the chart banks with
// 3 bands and the octave banks with 10 before it first uses them; the equalizer panel designs the
// equalizer banks with the deck's band count.
extern FilterBank chartBanks[kDeckCount];
extern FilterBank octaveBanks[kDeckCount];
extern FilterBank equalizerBanks[kDeckCount];

}  // namespace tev
