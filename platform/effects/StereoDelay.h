#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <vector>

namespace tev {

// A stereo delay line with a length per channel. A new length is reached by cross-fading from a
// tap at the old length to a tap at the new one: moving the read position instead would be heard
// as a glide in pitch, and jumping it as a click. Its memory is allocated when it is built; all
// else is [audio thread].
class StereoDelay {
  public:
    // Lengths from 1 to `maxLength` frames; a change cross-fades over `fadeFrames`.
    StereoDelay(int maxLength, int fadeFrames, int left, int right)
        : mask_(std::bit_ceil(static_cast<size_t>(maxLength) + 1) - 1),
          memory_(2 * (mask_ + 1), 0.0F),
          fadeFrames_(fadeFrames),
          now_{left, right},
          next_{left, right},
          wanted_{left, right},
          faded_(fadeFrames) {}

    // The lengths to move to. A move under way is finished first; the newest wish then starts
    // at the next block.
    void Want(int left, int right) noexcept { wanted_ = {left, right}; }

    // At a block's start: begins the move to the wanted lengths unless one is under way.
    void Begin() noexcept {
        if (faded_ == fadeFrames_ && wanted_ != now_) {
            next_ = wanted_;
            faded_ = 0;
        }
    }

    // The frame each channel's length ago (1: the last frame written), cross-faded while the
    // lengths move. Once per frame, before Write.
    void Read(float& left, float& right) noexcept {
        left = At(now_[0], 0);
        right = At(now_[1], 1);
        if (faded_ < fadeFrames_) {
            const float w = static_cast<float>(++faded_) / static_cast<float>(fadeFrames_);
            left += (At(next_[0], 0) - left) * w;
            right += (At(next_[1], 1) - right) * w;
            if (faded_ == fadeFrames_) {
                now_ = next_;
            }
        }
    }

    void Write(float left, float right) noexcept {
        memory_[2 * write_] = left;
        memory_[2 * write_ + 1] = right;
        write_ = (write_ + 1) & mask_;
    }

  private:
    float At(int length, size_t channel) const noexcept {
        return memory_[2 * ((write_ - static_cast<size_t>(length)) & mask_) + channel];
    }

    const size_t mask_;  // frames held, less one: a power of two less one
    std::vector<float> memory_;
    const int fadeFrames_;
    std::array<int, 2> now_;
    std::array<int, 2> next_;
    std::array<int, 2> wanted_;
    int faded_;  // frames of the cross-fade done; fadeFrames_: none under way
    size_t write_ = 0;
};

}  // namespace tev
