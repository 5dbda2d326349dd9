#pragma once

namespace tev {

// One effect of a buffer's chain, on interleaved stereo at the rate it was built for. Its
// settings are a plain structure, set and read on the UI thread and handed to the audio thread
// without a lock; delay lines and other memory are allocated when the effect is built (on the UI
// thread), never while it processes.
class SoundEffect {
  public:
    virtual ~SoundEffect() = default;
    // [audio thread] Processes `frames` frames in place. Never blocks or allocates, and never
    // leaves a NaN, an infinity or a denormal in its memory.
    virtual void Process(float* samples, int frames) noexcept = 0;
};

// The settings of the standard effects, with their ranges and defaults. A value outside its
// range is taken to the nearer end; a value that is not a number takes its default.

enum class Waveform { kTriangle, kSine };

struct ChorusParameters {
    float wetDryMix = 50.0F;  // percent wet, 0 ... 100
    float depth = 10.0F;      // percent of the delay swept, 0 ... 100
    float feedback = 25.0F;   // percent, -99 ... 99
    float frequency = 1.1F;   // of the sweep, Hz, 0 ... 10
    Waveform waveform = Waveform::kSine;
    float delay = 16.0F;  // ms, 0 ... 20
    int phase = 90;       // between the channels' sweeps, degrees: -180, -90, 0, 90 or 180

    ChorusParameters Clamped() const noexcept;

    bool operator==(const ChorusParameters&) const = default;
};

struct FlangerParameters {
    float wetDryMix = 50.0F;  // 0 ... 100
    float depth = 100.0F;     // 0 ... 100
    float feedback = -50.0F;  // -99 ... 99
    float frequency = 0.25F;  // 0 ... 10
    Waveform waveform = Waveform::kSine;
    float delay = 2.0F;  // ms, 0 ... 4
    int phase = 0;       // -180, -90, 0, 90 or 180

    FlangerParameters Clamped() const noexcept;

    bool operator==(const FlangerParameters&) const = default;
};

struct CompressorParameters {
    float gain = 0.0F;         // dB after compression, -60 ... 60
    float attack = 10.0F;      // ms, 0.01 ... 500
    float release = 200.0F;    // ms, 50 ... 3000
    float threshold = -20.0F;  // dB, -60 ... 0
    float ratio = 3.0F;        // 1 ... 100
    float predelay = 4.0F;     // ms of look-ahead, 0 ... 4

    CompressorParameters Clamped() const noexcept;
    bool operator==(const CompressorParameters&) const = default;
};

struct DistortionParameters {
    float gain = -18.0F;                    // dB, -60 ... 0
    float edge = 15.0F;                     // percent of shaping, 0 ... 100
    float postEqCenterFrequency = 2400.0F;  // Hz, 100 ... 8000
    float postEqBandwidth = 2400.0F;        // Hz, 100 ... 8000
    float preLowpassCutoff = 8000.0F;       // Hz, 100 ... 8000

    DistortionParameters Clamped() const noexcept;
    bool operator==(const DistortionParameters&) const = default;
};

struct EchoParameters {
    float wetDryMix = 50.0F;    // 0 ... 100
    float feedback = 50.0F;     // percent, 0 ... 100
    float leftDelay = 500.0F;   // ms, 1 ... 2000
    float rightDelay = 500.0F;  // ms, 1 ... 2000
    bool panDelay = false;      // each repeat swaps the channels

    EchoParameters Clamped() const noexcept;
    bool operator==(const EchoParameters&) const = default;
};

enum class GargleWave { kTriangle, kSquare };

struct GargleParameters {
    int rateHz = 20;  // 1 ... 1000
    GargleWave waveShape = GargleWave::kTriangle;

    GargleParameters Clamped() const noexcept;
    bool operator==(const GargleParameters&) const = default;
};

struct ReverbParameters {
    float inGain = 0.0F;             // dB, -96 ... 0
    float reverbMix = 0.0F;          // dB, -96 ... 0
    float reverbTime = 1000.0F;      // ms, 0.001 ... 3000
    float highFreqRtRatio = 0.001F;  // 0.001 ... 0.999

    ReverbParameters Clamped() const noexcept;

    bool operator==(const ReverbParameters&) const = default;
};

}  // namespace tev
