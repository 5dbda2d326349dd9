#include "platform/DeckChain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace tev;

namespace {

std::atomic<int> liveEffects{0};

// One repeat after `delay` frames at `feedback` of the sound before it, added to the dry sound:
// an echo small enough to follow by hand.
class Repeats final : public SoundEffect {
  public:
    Repeats(int delay, float feedback)
        : line_(2 * static_cast<size_t>(delay)), feedback_(feedback) {
        ++liveEffects;
    }
    ~Repeats() override { --liveEffects; }
    void Process(float* samples, int frames) noexcept override {
        for (int i = 0; i < 2 * frames; ++i) {
            const float delayed = line_[at_];
            line_[at_] = samples[i] + delayed * feedback_;
            samples[i] += delayed;
            at_ = (at_ + 1) % line_.size();
        }
    }

  private:
    std::vector<float> line_;
    float feedback_;
    size_t at_ = 0;
};

// Runs `frames` frames of `in` (a mono signal, both channels) through the chain in blocks of 256;
// the left channel of what comes out.
std::vector<float> Through(DeckChain& chain, const std::vector<float>& in) {
    std::vector<float> out;
    std::vector<float> block;
    for (size_t start = 0; start < in.size(); start += 256) {
        const size_t n = std::min<size_t>(256, in.size() - start);
        block.assign(2 * n, 0.0F);
        for (size_t i = 0; i < n; ++i) {
            block[2 * i] = block[2 * i + 1] = in[start + i];
        }
        chain.Process(block.data(), static_cast<int>(n), 44100);
        for (size_t i = 0; i < n; ++i) {
            out.push_back(block[2 * i]);
        }
    }
    return out;
}

std::vector<float> Tone(size_t frames, double hz, double amplitude) {
    std::vector<float> tone(frames);
    for (size_t i = 0; i < frames; ++i) {
        tone[i] = static_cast<float>(amplitude *
                                     std::sin(2 * M_PI * hz * static_cast<double>(i) / 44100));
    }
    return tone;
}

double LargestStep(const std::vector<float>& s) {
    double largest = 0.0;
    for (size_t i = 1; i < s.size(); ++i) {
        largest = std::max(largest, static_cast<double>(std::abs(s[i] - s[i - 1])));
    }
    return largest;
}

}  // namespace

// An echo that never dies away is faded out after its time rather than cut, and then deleted.
TEST(DeckChain, EndlessTailsFadeOut) {
    DeckChain chain(44100, true);
    const auto tone = Tone(10000, 220.0, 0.4);
    chain.SetEffect(std::make_unique<Repeats>(441, 1.0F));
    Through(chain, tone);
    chain.SetEffect(nullptr);
    const auto tail = Through(
        chain,
        std::vector<float>(static_cast<size_t>(DeckChain::kTailSeconds * 44100) + 20000, 0.0F));
    EXPECT_GT(std::abs(tail[static_cast<size_t>(5 * 44100)]) + std::abs(tail[5 * 44100 + 100]),
              0.01)
        << "still repeating after five seconds";
    EXPECT_LT(LargestStep(tail), 0.5) << "faded, not cut";
    EXPECT_EQ(tail.back(), 0.0F);
    chain.Reap();
    EXPECT_EQ(liveEffects.load(), 0);
}

// The UI thread switches effects as fast as it can while the audio thread renders: every effect
// built is deleted once, on the UI thread, and nothing is touched after.
TEST(DeckChain, RapidSwitchesAcrossThreadsLoseAndLeakNothing) {
    {
        DeckChain chain(44100, true);
        std::atomic<bool> running{true};
        std::thread audio([&] {
            std::vector<float> block(2 * 128, 0.25F);
            while (running.load()) {
                chain.Process(block.data(), 128, 44100);
                std::fill(block.begin(), block.end(), 0.25F);
            }
        });
        for (int i = 0; i < 3000; ++i) {
            chain.SetEffect(i % 4 == 3 ? nullptr : std::make_unique<Repeats>(64 + i % 100, 0.5F));
            if (i % 7 == 0) {
                std::this_thread::yield();
            }
        }
        running = false;
        audio.join();
    }
    EXPECT_EQ(liveEffects.load(), 0);
}
