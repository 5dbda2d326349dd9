#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/SoundCard.h"
#include "support/AllocationCounter.h"

using namespace tev;

namespace {

constexpr double kPi = 3.14159265358979323846;

// A buffer of `frames` frames holding a tone on both channels.
std::vector<int16_t> Tone(int frames, double hz, double amplitude, uint32_t rate = 44100) {
    std::vector<int16_t> samples;
    for (int i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(
            std::lround(amplitude * 32767.0 * std::sin(2 * kPi * hz * i / rate)));
        samples.push_back(v);
        samples.push_back(v);
    }
    return samples;
}

SoundBuffer* Loaded(SoundDevice& device, const std::vector<int16_t>& samples,
                    uint32_t rate = 44100) {
    const auto bytes = static_cast<uint32_t>(samples.size() * 2);
    SoundBuffer* buffer = device.CreateBuffer(bytes, rate);
    EXPECT_EQ(buffer->Write(0, samples.data(), bytes), S_OK);
    return buffer;
}

double Peak(const std::vector<float>& out, int channel, int channels, size_t skipFrames) {
    double peak = 0;
    for (size_t i = skipFrames * channels + channel; i < out.size(); i += channels) {
        peak = std::max(peak, std::abs(static_cast<double>(out[i])));
    }
    return peak;
}

void Fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(a[i], a[j]);
        }
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2 * kPi / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1;
            for (size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k];
                const auto v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                wk *= w;
            }
        }
    }
}

}  // namespace

// A source rate and a tempo: the step is their product over the card's 44,100 Hz.
struct Resampling {
    uint32_t sourceRate;
    double tempo;
};

class Resampler : public ::testing::TestWithParam<std::tuple<double, Resampling>> {};

// Up to 40 % of the source's rate a tone keeps its level within half a decibel; no image or
// alias of any tone comes within 80 dB of it.
TEST_P(Resampler, ATonePassesAtItsLevelAndNothingFoldsBackWithin80Decibels) {
    const auto [hz, resampling] = GetParam();
    const uint32_t rate = resampling.sourceRate;
    const double amplitude = 0.5;
    ManualClockCard card;
    SoundBuffer* buffer =
        Loaded(*card.Output(0), Tone(static_cast<int>(3 * rate), hz, amplitude, rate), rate);
    ASSERT_EQ(buffer->SetFrequency(static_cast<uint32_t>(std::lround(rate * resampling.tempo))),
              S_OK);
    buffer->Play(false);
    card.Render(22050);  // past the start's ramp
    constexpr size_t kN = 65536;
    const auto out = card.Render(kN);
    std::vector<std::complex<double>> spectrum(kN);
    double squares = 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < kN; ++i) {
        // Blackman-Harris window: its side lobes lie below -92 dB.
        const double x = 2 * kPi * static_cast<double>(i) / kN;
        const double w =
            0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
        spectrum[i] = out[2 * i] * w;
        squares += w * w;
        sum += w;
    }
    Fft(spectrum);
    const double outHz = hz * resampling.tempo;
    const auto toneBin = static_cast<long>(std::lround(outHz / 44100.0 * kN));
    constexpr long kLobe = 8;
    double lobe = 0.0;
    double worst = 0.0;
    for (long b = 3; b < static_cast<long>(kN / 2); ++b) {
        const double power = std::norm(spectrum[static_cast<size_t>(b)]);
        if (std::abs(b - toneBin) <= kLobe) {
            lobe += power;
        } else {
            worst = std::max(worst, power);
        }
    }
    const auto decibels = [amplitude](double a) { return 20 * std::log10(a / amplitude); };
    // A tone's amplitude from the power of its whole main lobe, and a stray component's from
    // its peak.
    const double tone = decibels(2 * std::sqrt(lobe / (kN * squares)));
    const double stray = decibels(2 * std::sqrt(worst) / sum);
    if (hz <= 0.4 * rate) {
        EXPECT_NEAR(tone, 0.0, 0.5) << "level of the tone";
    }
    EXPECT_LT(stray, -80.0) << "the strongest image or alias";
}

INSTANTIATE_TEST_SUITE_P(
    TonesAndSteps, Resampler,
    ::testing::Combine(::testing::Values(1000.0, 5000.0, 10000.0, 15000.0, 17640.0, 19000.0),
                       ::testing::Values(Resampling{44100, 0.92}, Resampling{44100, 1.0008},
                                         Resampling{48000, 1.0}, Resampling{48000, 1.08})));

TEST(SoundLayer, AVolumeStepIsRampedWithoutAJump) {
    ManualClockCard card;
    std::vector<int16_t> level(2 * 8000, 16384);  // a steady half-scale level
    SoundBuffer* buffer = Loaded(*card.Output(0), level);
    buffer->Play(true);
    card.Render(1000);
    buffer->SetVolume(SoundBuffer::kVolumeMin);
    auto out = card.Render(1000);
    buffer->SetVolume(0);
    const auto back = card.Render(1000);
    out.insert(out.end(), back.begin(), back.end());
    double biggest = 0;
    for (size_t i = 2; i < out.size(); i += 2) {
        biggest = std::max(biggest, std::abs(static_cast<double>(out[i]) - out[i - 2]));
    }
    EXPECT_LE(biggest, 0.5 / 256 + 1e-6);
    EXPECT_EQ(out[2 * 999], 0.0F) << "the ramp reaches silence";
}

TEST(SoundLayer, RenderingAllocatesNothing) {
    ManualClockCard card(4);
    for (int pair = 0; pair < 2; ++pair) {
        for (int i = 0; i < 4; ++i) {
            SoundBuffer* buffer = Loaded(*card.Output(pair), Tone(20000, 440 * (i + 1), 0.2));
            buffer->SetFrequency(47000 + 100 * i);
            buffer->Play(true);
        }
    }
    std::vector<float> out(4096 * 4);
    test::StartCountingAllocations();
    for (int i = 0; i < 20; ++i) {
        card.RenderInto(out);
    }
    EXPECT_EQ(test::StopCountingAllocations(), 0);
}

TEST(SoundLayer, ALoudSumIsClippedNotWrapped) {
    ManualClockCard card;
    std::vector<int16_t> loud(2 * 4000, 30000);
    Loaded(*card.Output(0), loud)->Play(true);
    Loaded(*card.Output(0), loud)->Play(true);
    const auto out = card.Render(2000);
    EXPECT_EQ(out[2 * 1999], 1.0F);
    EXPECT_GT(card.ClippedBlocks(), 0U);
}

namespace {

class Halve : public EffectChain {
  public:
    void Process(float* samples, int frames, int) noexcept override {
        for (int i = 0; i < 2 * frames; ++i) {
            samples[i] *= 0.5F;
        }
    }
};

}  // namespace

TEST(SoundLayer, ChainsSwapAndBuffersGoWhileTheAudioThreadRenders) {
    ManualClockCard card;
    SoundBuffer* buffer = Loaded(*card.Output(0), Tone(20000, 440, 0.5));
    buffer->Play(true);
    std::atomic<bool> running{true};
    std::thread audio([&] {
        std::vector<float> out(256 * 2);
        while (running.load()) {
            card.RenderInto(out);
        }
    });
    for (int i = 0; i < 200; ++i) {
        buffer->SetEffectChain(i % 2 == 0 ? std::make_unique<Halve>() : nullptr);
        buffer->SetVolume(-(i % 50) * 100);
        buffer->SetPan((i % 21 - 10) * 1000);
        buffer->SetFrequency(44100 + 10 * i);
        SoundBuffer* extra = Loaded(*card.Output(0), Tone(4000, 880, 0.1));
        extra->Play(true);
        card.Output(0)->DestroyBuffer(extra);
    }
    running = false;
    audio.join();
    buffer->SetEffectChain(std::make_unique<Halve>());
    buffer->SetVolume(0);
    buffer->SetPan(0);
    buffer->SetFrequency(0);
    card.Render(4096);
    EXPECT_NEAR(Peak(card.Render(4096), 0, 2, 0), 0.25, 0.01);
}

TEST(SoundLayer, TheNullCardKeepsTime) {
    NullCard card;
    SoundBuffer* buffer = Loaded(*card.Output(0), Tone(44100, 440, 0.5));
    buffer->Play(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const uint32_t frames = buffer->GetCurrentPosition() / 4;
    EXPECT_GT(frames, 44100U * 0.1);
    EXPECT_LT(frames, 44100U * 0.6);
    card.Output(0)->DestroyBuffer(buffer);
}

// An effect that does what the audio thread must never do: wait for the renders to end.
class WaitingEffect final : public EffectChain {
  public:
    explicit WaitingEffect(const RenderEpoch& epoch) : epoch_(epoch) {}
    void Process(float*, int, int) noexcept override { epoch_.WaitUntilQuiet(); }

  private:
    const RenderEpoch& epoch_;
};

TEST(SoundLayerDeathTest, ADebugBuildStopsAtAWaitOnTheAudioThread) {
#ifdef NDEBUG
    GTEST_SKIP() << "the check is made in debug builds";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ManualClockCard card;
    SoundBuffer* buffer = Loaded(*card.Output(0), Tone(4410, 440, 0.5));
    buffer->SetEffectChain(std::make_unique<WaitingEffect>(card.epoch()));
    buffer->Play(true);
    EXPECT_DEATH(card.Render(256), "never call it on the audio thread");
#endif
}
