#include "platform/SoundBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/SincResampler.h"

namespace tev {
namespace {

// A volume or pan change reaches its new level over this many frames (about 6 ms at 44.1 kHz),
// the gain moving in a straight line. Every other change of level (starts, stops, the ends of
// fades, the write fence) is held to the same slope.
constexpr float kRampFrames = 256.0F;
constexpr float kSampleScale = 1.0F / 32768.0F;
// A fade has run three time constants: what is left of its range (5 %) goes with the ramp.
const float kFadeEnd = std::exp(-3.0F);
constexpr float kLn10 = 2.302585093F;
constexpr double kOne = 4294967296.0;  // 1.0 in 32.32 fixed point

}  // namespace

SoundBuffer::SoundBuffer(uint32_t bytes, uint32_t sampleRate, uint32_t deviceRate,
                         const RenderEpoch& epoch, CommandClock& commands)
    : bytes_(bytes / 4 * 4),
      frames_(bytes / 4),
      ownRate_(sampleRate),
      deviceRate_(deviceRate),
      epoch_(epoch),
      commands_(commands),
      samples_(new float[static_cast<size_t>(bytes / 4) * 2]()),
      frequency_(sampleRate),
      kernel_(SincResampler::Instance().KernelFor(static_cast<double>(sampleRate) /
                                                  static_cast<double>(deviceRate))) {}

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

HRESULT SoundBuffer::Read(uint32_t offset, void* data, uint32_t bytes) const {
    if (offset >= bytes_ || bytes > bytes_ || data == nullptr || offset % 2 != 0 ||
        bytes % 2 != 0) {
        return E_UNEXPECTED;
    }
    auto* out = static_cast<int16_t*>(data);
    const uint32_t size = bytes_ / 2;
    for (uint32_t i = 0; i < bytes / 2; ++i) {
        // Every sample was a 16-bit value over 32,768: the product is that value again.
        out[i] = static_cast<int16_t>(samples_[(offset / 2 + i) % size] * 32768.0F);
    }
    return S_OK;
}

void SoundBuffer::Command(uint64_t op) {
    command_.store(static_cast<uint64_t>(commands_.Stamp()) << 32 | op, std::memory_order_release);
    commands_.Issued();
}

HRESULT SoundBuffer::Play(bool looping) {
    looping_.store(looping, std::memory_order_relaxed);
    everPlayed_.store(true, std::memory_order_relaxed);
    playing_.store(true, std::memory_order_release);
    Command(kOpPlay | (looping ? kOpLooping : 0));
    return S_OK;
}

HRESULT SoundBuffer::FadeIn() {
    looping_.store(true, std::memory_order_relaxed);
    everPlayed_.store(true, std::memory_order_relaxed);
    playing_.store(true, std::memory_order_release);
    Command(kOpPlay | kOpFade | kOpLooping);
    return S_OK;
}

HRESULT SoundBuffer::Stop() {
    playing_.store(false, std::memory_order_release);
    Command(kOpStop);
    return S_OK;
}

HRESULT SoundBuffer::FadeOut() {
    playing_.store(false, std::memory_order_release);
    Command(kOpStop | kOpFade);
    return S_OK;
}

void SoundBuffer::Retire() {
    retired_.store(true, std::memory_order_relaxed);
    Stop();
}

void SoundBuffer::SetWriteFence(int64_t framesWritten) {
    // Release: the sound written below the fence is visible to the render that sees the fence.
    fence_.store(std::max<int64_t>(framesWritten, 0), std::memory_order_release);
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
    // Built here if it is new, never on the audio thread.
    kernel_.store(SincResampler::Instance().KernelFor(static_cast<double>(hz) /
                                                      static_cast<double>(deviceRate_)),
                  std::memory_order_release);
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
    EffectChain* old = chain_.exchange(chain.release(), std::memory_order_seq_cst);
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

void SoundBuffer::ApplyCommand(uint64_t op) noexcept {
    const bool fade = (op & kOpFade) != 0;
    if ((op & kOpPlay) != 0) {
        loopingNow_ = (op & kOpLooping) != 0;
        if (!sounding_) {
            sounding_ = true;
            gainLeft_ = 0.0F;  // every start rises from silence
            gainRight_ = 0.0F;
            attenuation_ = fade ? 1.0F : 0.0F;
            fade_ = fade ? Fade::In : Fade::None;
        } else if (fade) {
            // A stop's fade turns round from where it is.
            fade_ = attenuation_ > 0.0F ? Fade::In : Fade::None;
        } else {
            attenuation_ = 0.0F;
            fade_ = Fade::None;
        }
    } else if ((op & kOpStop) != 0 && sounding_) {
        if (fade) {
            fade_ = attenuation_ < 1.0F ? Fade::Out : Fade::None;
        } else {
            attenuation_ = 1.0F;
            fade_ = Fade::None;
        }
    }
}

void SoundBuffer::Seat(int64_t frame) noexcept {
    position_ = static_cast<uint64_t>(frame) << 32;
    cursorFrame_.store(static_cast<uint32_t>(frame), std::memory_order_release);
    const int64_t fence = fence_.load(std::memory_order_acquire);
    if (fence >= 0) {
        // The most recent lap written at that offset: at most the fence, never older than one
        // buffer before it. Exactly at the fence (nothing written there yet) unless a whole
        // buffer was written ahead and none of it played: then its first lap. Before the first
        // write (backward play past the start of the first track) the buffer holds the silence
        // it was made with, and plays it on into what was written.
        const auto size = static_cast<int64_t>(frames_);
        int64_t at = fence - fence % size + frame;
        if (at > fence || (at == fence && reached_ <= fence - size)) {
            at -= size;
        }
        lapStart_ = at - frame;
    }
}

void SoundBuffer::MixInto(float* out, int frames, uint32_t deviceRate, float* scratch,
                          uint32_t committed) noexcept {
    const uint64_t command = command_.load(std::memory_order_acquire);
    const auto batch = static_cast<uint32_t>(command >> 32);
    if (batch != appliedBatch_ && static_cast<int32_t>(committed - batch) >= 0) {
        appliedBatch_ = batch;
        ApplyCommand(command & 0xFFFFFFFFU);
    }
    const int64_t requested = requestedFrame_.exchange(-1, std::memory_order_acq_rel);
    if (requested >= 0) {
        if (sounding_ && (gainLeft_ > 0.0F || gainRight_ > 0.0F)) {
            pendingJump_ = requested;  // dip to silence first
        } else {
            Seat(requested);
        }
    }
    if (pendingJump_ >= 0 && gainLeft_ == 0.0F && gainRight_ == 0.0F) {
        Seat(pendingJump_);
        pendingJump_ = -1;
    }
    constexpr auto kDip = static_cast<int>(kRampFrames);
    if (pendingJump_ >= 0 && sounding_ && frames > kDip) {
        // The gain reaches silence within one ramp (it is at most 1): dip there, jump, and rise
        // in the rest of the block.
        MixInto(out, kDip, deviceRate, scratch, committed);
        MixInto(out + 2 * kDip, frames - kDip, deviceRate, scratch, committed);
        return;
    }
    if (!sounding_) {
        audible_.store(false, std::memory_order_release);
        return;
    }
    constexpr uint64_t kUnit = uint64_t{1} << 32;
    const bool looping = loopingNow_;
    const auto step = static_cast<uint64_t>(
        std::llround(static_cast<double>(frequency_.load(std::memory_order_relaxed)) /
                     static_cast<double>(deviceRate) * kOne));
    const uint64_t end = static_cast<uint64_t>(frames_) << 32;
    const auto total = static_cast<int64_t>(frames_);
    const float* samples = samples_.get();
    const SincKernel& kernel = *kernel_.load(std::memory_order_acquire);
    const int taps = kernel.taps();
    const auto startFrame = static_cast<uint32_t>(position_ >> 32);

    // Output frames before the cursor comes within a ramp (and the interpolation's reach) of
    // the write fence: from there the gain falls to silence, and at the fence the cursor waits.
    const int64_t fence = fence_.load(std::memory_order_acquire);
    int audibleFrames = frames;
    if (fence >= 0) {
        const double stepFrames = static_cast<double>(step) / kOne;
        const double ahead = static_cast<double>(fence - lapStart_) -
                             static_cast<double>(position_) / kOne -
                             (kRampFrames + 1.0F) * stepFrames - taps;
        const double n = ahead / std::max(stepFrames, 1e-9);
        audibleFrames = n <= 0.0 ? 0 : (n >= frames ? frames : static_cast<int>(n));
    }

    bool wrapped = false;
    bool ended = false;
    int made = 0;
    for (; made < frames; ++made) {
        const auto whole = static_cast<int64_t>(position_ >> 32);
        if (fence >= 0 && lapStart_ + whole >= fence) {
            break;  // nothing written here for this lap yet: wait in silence
        }
        const auto frac = static_cast<uint32_t>(position_);
        float left = 0.0F;
        float right = 0.0F;
        if (frac == 0 && step == kUnit) {
            left = samples[2 * whole];  // the buffer's own rate: the samples themselves
            right = samples[2 * whole + 1];
        } else {
            const SincKernel::Phase phase = kernel.At(frac);
            const int64_t first = whole - kernel.tapsBefore();
            if (first >= 0 && first + taps <= total) {
                // Four running sums over the interleaved frames, lanes 0 and 2 left and 1 and 3
                // right, with the coefficients interpolated between two phases on the way, so
                // that the loops vectorise.
                const float* x = samples + 2 * first;
                const float* row = phase.row;
                const float* delta = phase.delta;
                const float t = phase.t;
                float acc[4] = {0.0F, 0.0F, 0.0F, 0.0F};
                for (int j = 0; j < 2 * taps; j += 4) {
                    for (int lane = 0; lane < 4; ++lane) {
                        acc[lane] += (row[j + lane] + t * delta[j + lane]) * x[j + lane];
                    }
                }
                left = acc[0] + acc[2];
                right = acc[1] + acc[3];
            } else {
                for (int k = 0; k < taps; ++k) {
                    int64_t at = first + k;
                    if (looping) {
                        at = ((at % total) + total) % total;
                    } else if (at < 0 || at >= total) {
                        continue;
                    }
                    const float c = phase.row[2 * k] + phase.t * phase.delta[2 * k];
                    left += c * samples[2 * at];
                    right += c * samples[2 * at + 1];
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
            lapStart_ += total;
            wrapped = true;
        }
    }
    std::fill(scratch + 2 * made, scratch + 2 * frames, 0.0F);
    const auto endFrame = ended ? frames_ : static_cast<uint32_t>(position_ >> 32);
    if (!notifications_.empty() && !retired_.load(std::memory_order_relaxed)) {
        FireNotifications(startFrame, endFrame, wrapped && !ended);
    }
    cursorFrame_.store(ended ? 0 : endFrame, std::memory_order_release);
    if (ended) {
        position_ = 0;
    }
    reached_ = std::max(reached_, lapStart_ + static_cast<int64_t>(position_ >> 32));
    if (pendingJump_ >= 0) {
        // The jump lands where it would have, had it been taken when it was asked for.
        pendingJump_ = (pendingJump_ + (endFrame + frames_ - startFrame) % frames_) % frames_;
    }

    if (EffectChain* chain = chain_.load(std::memory_order_seq_cst)) {
        chain->Process(scratch, frames, static_cast<int>(deviceRate));
    }

    float targetLeft = 0.0F;
    float targetRight = 0.0F;
    TargetGains(targetLeft, targetRight);
    if (pendingJump_ >= 0) {
        audibleFrames = 0;
    }
    constexpr float kMaxStep = 1.0F / kRampFrames;
    float gl = gainLeft_;
    float gr = gainRight_;
    if (fade_ == Fade::None && attenuation_ == 0.0F && audibleFrames == frames) {
        for (int i = 0; i < frames; ++i) {
            gl += std::clamp(targetLeft - gl, -kMaxStep, kMaxStep);
            gr += std::clamp(targetRight - gr, -kMaxStep, kMaxStep);
            out[2 * i] += scratch[2 * i] * gl;
            out[2 * i + 1] += scratch[2 * i + 1] * gr;
        }
    } else {
        // The fade moves the level in decibels, from silence (attenuation 1) to the volume (0).
        const float perFrame = std::exp(
            -1.0F / (static_cast<float>(kFadeSeconds / 3.0) * static_cast<float>(deviceRate)));
        const float depth =
            static_cast<float>(volume_.load(std::memory_order_relaxed) - kVolumeMin) / 2000.0F *
            kLn10;
        for (int i = 0; i < frames; ++i) {
            if (fade_ == Fade::In) {
                attenuation_ *= perFrame;
                if (attenuation_ <= kFadeEnd) {
                    attenuation_ = 0.0F;
                    fade_ = Fade::None;
                }
            } else if (fade_ == Fade::Out) {
                const float rest = (1.0F - attenuation_) * perFrame;
                attenuation_ = 1.0F - rest;
                if (rest <= kFadeEnd) {
                    attenuation_ = 1.0F;
                    fade_ = Fade::None;
                }
            }
            float level = 1.0F;
            if (attenuation_ >= 1.0F || i >= audibleFrames) {
                level = 0.0F;
            } else if (attenuation_ > 0.0F) {
                level = std::exp(-depth * attenuation_);
            }
            gl += std::clamp(targetLeft * level - gl, -kMaxStep, kMaxStep);
            gr += std::clamp(targetRight * level - gr, -kMaxStep, kMaxStep);
            out[2 * i] += scratch[2 * i] * gl;
            out[2 * i + 1] += scratch[2 * i + 1] * gr;
        }
    }
    gainLeft_ = gl;
    gainRight_ = gr;
    if (ended || (attenuation_ >= 1.0F && gl == 0.0F && gr == 0.0F)) {
        // Stopped: silent now, its position kept for the next start.
        sounding_ = false;
        attenuation_ = 0.0F;
        fade_ = Fade::None;
        if (ended) {
            playing_.store(false, std::memory_order_release);
        }
    }
    audible_.store(sounding_, std::memory_order_release);
}

}  // namespace tev
