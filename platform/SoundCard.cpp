#include "platform/SoundCard.h"

#include <algorithm>
#include <chrono>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace tev {
namespace {

std::atomic<uint64_t> gUnderruns{0};

// Treats denormal numbers as zero for the life of a render: filters and decaying tails that fall
// into them would otherwise cost the audio thread a hundred times more per sample.
class FlushDenormals {
  public:
#if defined(__SSE__)
    FlushDenormals() noexcept : saved_(_mm_getcsr()) {
        _mm_setcsr(saved_ | 0x8040U);  // flush to zero, denormals are zero
    }
    ~FlushDenormals() {
        _mm_setcsr(saved_);
    }

  private:
    unsigned int saved_;
#endif
};

}  // namespace

SoundDevice::~SoundDevice() {
    SetRecordingTap(nullptr);
    for (auto& slot : buffers_) {
        slot.store(nullptr, std::memory_order_seq_cst);
    }
    card_.epoch().WaitUntilQuiet();
}

SoundBuffer* SoundDevice::CreateBuffer(uint32_t bytes, uint32_t sampleRate) {
    TEV_NOT_ON_THE_AUDIO_THREAD();
    Reap();
    for (;;) {
        for (auto& slot : buffers_) {
            if (slot.load(std::memory_order_relaxed) == nullptr) {
                auto buffer = std::make_unique<SoundBuffer>(bytes, sampleRate, card_.sampleRate(),
                                                            card_.epoch(), card_.commands());
                SoundBuffer* raw = buffer.get();
                owned_.push_back(std::move(buffer));
                slot.store(raw, std::memory_order_release);
                return raw;
            }
        }
        if (retiring_.empty()) {
            return nullptr;
        }
        // Full, with buffers still fading out (a clock that has not run since): make room.
        Free(retiring_.front());
        retiring_.erase(retiring_.begin());
    }
}

void SoundDevice::Free(SoundBuffer* buffer) {
    for (auto& slot : buffers_) {
        if (slot.load(std::memory_order_relaxed) == buffer) {
            slot.store(nullptr, std::memory_order_seq_cst);
        }
    }
    card_.epoch().WaitUntilQuiet();
    std::erase_if(owned_, [buffer](const auto& owned) { return owned.get() == buffer; });
}

void SoundDevice::Reap() {
    // A card that has stopped for good never finishes a fade.
    const bool lost = card_.IsLost();
    std::erase_if(retiring_, [this, lost](SoundBuffer* buffer) {
        if (buffer->IsAudible() && !lost) {
            return false;
        }
        Free(buffer);
        return true;
    });
}

void SoundDevice::DestroyBuffer(SoundBuffer* buffer) {
    TEV_NOT_ON_THE_AUDIO_THREAD();
    if (buffer == nullptr) {
        return;
    }
    buffer->Retire();
    retiring_.push_back(buffer);
    Reap();
}

void SoundDevice::SetRecordingTap(RecordingTap* tap) {
    TEV_NOT_ON_THE_AUDIO_THREAD();
    RecordingTap* old = tap_.exchange(tap, std::memory_order_seq_cst);
    if (old != nullptr && old != tap) {
        card_.epoch().WaitUntilQuiet();
        old->holder_ = nullptr;
    }
    if (tap != nullptr) {
        tap->holder_ = this;
    }
}

uint32_t SoundDevice::SampleRate() const {
    return card_.sampleRate();
}

void SoundDevice::Mix(float* out, int frames, float* scratch, uint32_t committed) noexcept {
    std::fill(out, out + 2 * frames, 0.0F);
    for (auto& slot : buffers_) {
        if (SoundBuffer* buffer = slot.load(std::memory_order_seq_cst)) {
            buffer->MixInto(out, frames, card_.sampleRate(), scratch, committed);
        }
    }
}

SoundCard::SoundCard(std::string name, int channels, uint32_t sampleRate, std::string mixerDevice)
    : name_(std::move(name)),
      mixerDevice_(std::move(mixerDevice)),
      channels_(channels == 4 ? 4 : 2),
      sampleRate_(sampleRate),
      mix_(static_cast<size_t>(kMaxBlockFrames) * 2),
      scratch_(static_cast<size_t>(kMaxBlockFrames) * 2) {
    outputs_[0] = std::make_unique<SoundDevice>(*this, 0);
    if (channels_ == 4) {
        outputs_[1] = std::make_unique<SoundDevice>(*this, 1);
    }
}

SoundCard::~SoundCard() = default;

SoundDevice* SoundCard::Output(int pair) {
    return (pair == 0 || pair == 1) ? outputs_[pair].get() : nullptr;
}

uint64_t SoundCard::TotalUnderruns() {
    return gUnderruns.load(std::memory_order_relaxed);
}

void SoundCard::CountUnderrun() noexcept {
    underruns_.fetch_add(1, std::memory_order_relaxed);
    gUnderruns.fetch_add(1, std::memory_order_relaxed);
}

void SoundCard::RenderBlock(float* out, int frames) noexcept {
    const RenderingSound rendering;
    const FlushDenormals flush;
    epoch_.Enter();
    // Read once, so that a batch of commands reaches every buffer in the same block.
    const uint32_t committed = commands_.Committed();
    int done = 0;
    bool clipped = false;
    while (done < frames) {
        const int n = std::min(frames - done, kMaxBlockFrames);
        float* block = out + static_cast<ptrdiff_t>(done) * channels_;
        for (int pair = 0; pair < channels_ / 2; ++pair) {
            SoundDevice& device = *outputs_[pair];
            device.Mix(mix_.data(), n, scratch_.data(), committed);
            for (int i = 0; i < n; ++i) {
                for (int c = 0; c < 2; ++c) {
                    float& v = mix_[2 * static_cast<size_t>(i) + static_cast<size_t>(c)];
                    // The sum of several loud buffers is clipped at full scale, never wrapped.
                    if (v > 1.0F || v < -1.0F) {
                        clipped = true;
                        v = std::clamp(v, -1.0F, 1.0F);
                    }
                    block[i * channels_ + 2 * pair + c] = v;
                }
            }
            // A recording gets exactly what the pair plays.
            if (RecordingTap* tap = device.recordingTap()) {
                tap->Push(mix_.data(), n);
            }
        }
        done += n;
    }
    if (clipped) {
        clipped_.fetch_add(1, std::memory_order_relaxed);
    }
    epoch_.Leave();
}

ManualClockCard::ManualClockCard(int channels, uint32_t sampleRate)
    : SoundCard("Manual clock", channels, sampleRate) {}

void ManualClockCard::RenderInto(std::span<float> out) noexcept {
    RenderBlock(out.data(), static_cast<int>(out.size() / static_cast<size_t>(channels())));
}

std::vector<float> ManualClockCard::Render(int frames) {
    std::vector<float> out(static_cast<size_t>(frames) * static_cast<size_t>(channels()));
    RenderInto(out);
    return out;
}

NullCard::NullCard(int channels, uint32_t sampleRate)
    : SoundCard("No sound device", channels, sampleRate) {
    clock_ = std::thread([this] {
        constexpr int kBlock = 256;
        std::vector<float> block(static_cast<size_t>(kBlock) *
                                 static_cast<size_t>(this->channels()));
        const auto period =
            std::chrono::duration<double>(static_cast<double>(kBlock) / this->sampleRate());
        auto next = std::chrono::steady_clock::now();
        while (running_.load(std::memory_order_acquire)) {
            RenderBlock(block.data(), kBlock);
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
            std::this_thread::sleep_until(next);
        }
    });
}

NullCard::~NullCard() {
    running_.store(false, std::memory_order_release);
    clock_.join();
}

}  // namespace tev
