#include "platform/SoundBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/SincResampler.h"

namespace tev {
namespace {

// A volume or pan change reaches its new level over this many frames (about 6 ms at 44.1 kHz),
// the gain moving in a straight line.
constexpr float kRampFrames = 256.0F;
constexpr float kSampleScale = 1.0F / 32768.0F;

}  // namespace

SoundBuffer::SoundBuffer(uint32_t bytes, uint32_t sampleRate, const RenderEpoch& epoch)
    : bytes_(bytes / 4 * 4),
      frames_(bytes / 4),
      ownRate_(sampleRate),
      epoch_(epoch),
      samples_(new float[static_cast<size_t>(bytes / 4) * 2]()),
      frequency_(sampleRate) {
    SincResampler::Instance();  // the table is built here, never on the audio thread
}

SoundBuffer::~SoundBuffer() {
    delete chain_.load();
}

HRESULT SoundBuffer::Write(uint32_t offset, const void* data, uint32_t bytes) {
    if (offset >= bytes_ || bytes > bytes_ || data == nullptr || offset % 2 != 0 ||
        bytes % 2 != 0) {
        return E_UNEXPECTED;
    }
    // Kept as floats, converted once here rather than at every tap of the interpolation; in at
    // most two pieces (before and after the end), each a loop the compiler vectorises.
    const auto* in = static_cast<const int16_t*>(data);
    const uint32_t count = bytes / 2;
    const uint32_t size = bytes_ / 2;
    const uint32_t at = offset / 2;
    const uint32_t first = std::min(count, size - at);
    float* out = samples_.get();
    for (uint32_t i = 0; i < first; ++i) {
        out[at + i] = static_cast<float>(in[i]) * kSampleScale;
    }
    for (uint32_t i = first; i < count; ++i) {
        out[i - first] = static_cast<float>(in[i]) * kSampleScale;
    }
    return S_OK;
}

HRESULT SoundBuffer::Play(bool looping) {
    looping_.store(looping, std::memory_order_relaxed);
    everPlayed_.store(true, std::memory_order_relaxed);
    playing_.store(true, std::memory_order_release);
    return S_OK;
}

HRESULT SoundBuffer::Stop() {
    playing_.store(false, std::memory_order_release);
    return S_OK;
}

uint32_t SoundBuffer::Status() const {
    if (!playing_.load(std::memory_order_acquire)) {
        return 0;
    }
    return kStatusPlaying | (looping_.load(std::memory_order_relaxed) ? kStatusLooping : 0);
}

uint32_t SoundBuffer::GetCurrentPosition() const {
    return cursorFrame_.load(std::memory_order_acquire) * 4;
}

HRESULT SoundBuffer::SetCurrentPosition(uint32_t offset) {
    if (offset >= bytes_) {
        return E_UNEXPECTED;
    }
    cursorFrame_.store(offset / 4, std::memory_order_release);
    requestedFrame_.store(offset / 4, std::memory_order_release);
    return S_OK;
}

HRESULT SoundBuffer::SetVolume(int32_t volume) {
    if (volume < kVolumeMin || volume > kVolumeMax) {
        return E_UNEXPECTED;
    }
    volume_.store(volume, std::memory_order_relaxed);
    return S_OK;
}

HRESULT SoundBuffer::SetPan(int32_t pan) {
    if (pan < kPanLeft || pan > kPanRight) {
        return E_UNEXPECTED;
    }
    pan_.store(pan, std::memory_order_relaxed);
    return S_OK;
}

HRESULT SoundBuffer::SetFrequency(uint32_t hz) {
    if (hz == 0) {
        hz = ownRate_;
    }
    if (hz < kFrequencyMin || hz > kFrequencyMax) {
        return E_UNEXPECTED;
    }
    frequency_.store(hz, std::memory_order_relaxed);
    return S_OK;
}

HRESULT SoundBuffer::SetNotificationPositions(std::span<const Notification> positions) {
    if (everPlayed_.load(std::memory_order_relaxed)) {
        return E_UNEXPECTED;
    }
    for (const Notification& n : positions) {
        if (n.offset >= bytes_ || n.event == nullptr) {
            return E_UNEXPECTED;
        }
    }
    notifications_.assign(positions.begin(), positions.end());
    std::sort(notifications_.begin(), notifications_.end(),
              [](const Notification& a, const Notification& b) { return a.offset < b.offset; });
    return S_OK;
}

void SoundBuffer::SetEffectChain(std::unique_ptr<EffectChain> chain) {
    EffectChain* old = chain_.exchange(chain.release(), std::memory_order_acq_rel);
    epoch_.WaitUntilQuiet();
    delete old;
}

float SoundBuffer::Gain(int32_t hundredthsDb) noexcept {
    if (hundredthsDb <= kVolumeMin) {
        return 0.0F;
    }
    return std::pow(10.0F, static_cast<float>(hundredthsDb) / 2000.0F);
}

void SoundBuffer::TargetGains(float& left, float& right) const noexcept {
    const int32_t volume = volume_.load(std::memory_order_relaxed);
    const int32_t pan = pan_.load(std::memory_order_relaxed);
    // A pan to one side attenuates the other side; the attenuations add up with the volume.
    left = Gain(volume - std::max(pan, 0));
    right = Gain(volume - std::max(-pan, 0));
}

void SoundBuffer::FireNotifications(uint32_t fromFrame, uint32_t toFrame, bool wrapped) noexcept {
    // The cursor went from fromFrame up to toFrame (across the end when wrapped): every position
    // in between has been passed.
    const uint64_t from = static_cast<uint64_t>(fromFrame) * 4;
    const uint64_t to = static_cast<uint64_t>(toFrame) * 4;
    for (const Notification& n : notifications_) {
        const bool passed =
            wrapped ? (n.offset >= from || n.offset < to) : (n.offset >= from && n.offset < to);
        if (passed) {
            n.event->Set();
        }
    }
}

void SoundBuffer::MixInto(float* out, int frames, uint32_t deviceRate, float* scratch) noexcept {
    if (!playing_.load(std::memory_order_acquire)) {
        started_ = false;
        return;
    }
    const int64_t requested = requestedFrame_.exchange(-1, std::memory_order_acq_rel);
    if (requested >= 0) {
        position_ = static_cast<uint64_t>(requested) << 32;
    }
    if (!started_) {
        // Every start rises from silence over the ramp instead of jumping in.
        gainLeft_ = 0.0F;
        gainRight_ = 0.0F;
        started_ = true;
    }
    constexpr uint64_t kOne = uint64_t{1} << 32;
    const bool looping = looping_.load(std::memory_order_relaxed);
    const auto step = static_cast<uint64_t>(
        std::llround(static_cast<double>(frequency_.load(std::memory_order_relaxed)) /
                     static_cast<double>(deviceRate) * static_cast<double>(kOne)));
    const uint64_t end = static_cast<uint64_t>(frames_) << 32;
    const auto total = static_cast<int64_t>(frames_);
    const float* samples = samples_.get();
    const SincResampler& resampler = SincResampler::Instance();
    const auto startFrame = static_cast<uint32_t>(position_ >> 32);
    bool wrapped = false;
    bool ended = false;
    int made = 0;
    for (; made < frames; ++made) {
        const auto whole = static_cast<int64_t>(position_ >> 32);
        const auto frac = static_cast<uint32_t>(position_);
        float left = 0.0F;
        float right = 0.0F;
        if (frac == 0 && step == kOne) {
            left = samples[2 * whole];  // the buffer's own rate: the samples themselves
            right = samples[2 * whole + 1];
        } else {
            const float* c = resampler.StereoCoefficients(frac);
            const int64_t first = whole - SincResampler::kTapsBefore;
            if (first >= 0 && first + SincResampler::kTaps <= total) {
                // Four running sums over the interleaved frames, lanes 0 and 2 left and 1 and 3
                // right, so that the loops vectorise.
                const float* x = samples + 2 * first;
                constexpr int kValues = 2 * SincResampler::kTaps;
                float acc[4] = {0.0F, 0.0F, 0.0F, 0.0F};
                for (int j = 0; j < kValues; j += 4) {
                    for (int lane = 0; lane < 4; ++lane) {
                        acc[lane] += c[j + lane] * x[j + lane];
                    }
                }
                left = acc[0] + acc[2];
                right = acc[1] + acc[3];
            } else {
                for (int k = 0; k < SincResampler::kTaps; ++k) {
                    int64_t at = first + k;
                    if (looping) {
                        at = ((at % total) + total) % total;
                    } else if (at < 0 || at >= total) {
                        continue;
                    }
                    left += c[2 * k] * samples[2 * at];
                    right += c[2 * k + 1] * samples[2 * at + 1];
                }
            }
        }
        scratch[2 * made] = left;
        scratch[2 * made + 1] = right;
        position_ += step;
        if (position_ >= end) {
            if (!looping) {
                ended = true;
                ++made;
                break;
            }
            position_ -= end;
            wrapped = true;
        }
    }
    std::fill(scratch + 2 * made, scratch + 2 * frames, 0.0F);
    const auto endFrame = ended ? frames_ : static_cast<uint32_t>(position_ >> 32);
    if (!notifications_.empty()) {
        FireNotifications(startFrame, endFrame, wrapped && !ended);
    }
    cursorFrame_.store(ended ? 0 : endFrame, std::memory_order_release);
    if (ended) {
        position_ = 0;
        playing_.store(false, std::memory_order_release);
    }

    if (EffectChain* chain = chain_.load(std::memory_order_acquire)) {
        chain->Process(scratch, frames, static_cast<int>(deviceRate));
    }

    float targetLeft = 0.0F;
    float targetRight = 0.0F;
    TargetGains(targetLeft, targetRight);
    constexpr float kMaxStep = 1.0F / kRampFrames;
    float gl = gainLeft_;
    float gr = gainRight_;
    for (int i = 0; i < frames; ++i) {
        gl += std::clamp(targetLeft - gl, -kMaxStep, kMaxStep);
        gr += std::clamp(targetRight - gr, -kMaxStep, kMaxStep);
        out[2 * i] += scratch[2 * i] * gl;
        out[2 * i + 1] += scratch[2 * i + 1] * gr;
    }
    gainLeft_ = gl;
    gainRight_ = gr;
}

}  // namespace tev
