#pragma once

#include <algorithm>
#include <cmath>

namespace tev {

// A setting brought into its range; one that is not a number takes its default.
inline float ClampOr(float value, float lowest, float highest, float fallback) noexcept {
    return std::isnan(value) ? fallback : std::clamp(value, lowest, highest);
}

// A value fit to keep in an effect's memory. One too small to hear becomes zero: a denormal
// would slow every operation on it while a tail dies away, and nothing guarantees the processor
// flushes them. The bound is high enough that a product of two kept values is still a normal
// number. One that is not finite (from input that was not) becomes zero too, so that it cannot
// stay in a filter or a delay line for ever.
inline float Tidy(float value) noexcept {
    const float size = std::fabs(value);
    return size > 1e-15F && size < 1e30F ? value : 0.0F;
}

// The number of whole frames, at least one, that `seconds` last at `sampleRate`.
inline int FramesIn(double seconds, double sampleRate) noexcept {
    return std::max(1, static_cast<int>(std::lround(seconds * sampleRate)));
}

// A setting the audio thread moves to each new value in a straight line over a fixed number of
// frames, so that a jump is heard as a short ramp rather than a click. [audio thread]
class Ramp {
  public:
    explicit Ramp(float value) noexcept : value_(value), target_(value) {}

    // Starts a ramp from where the value is now.
    void MoveTo(float target, int frames) noexcept {
        if (target != target_) {
            target_ = target;
            step_ = (target - value_) / static_cast<float>(frames);
            left_ = frames;
        }
    }
    // The value for the next frame.
    float Next() noexcept {
        if (left_ > 0) {
            value_ = --left_ == 0 ? target_ : value_ + step_;
        }
        return value_;
    }
    bool Moving() const noexcept { return left_ > 0; }

  private:
    float value_;
    float target_;
    float step_ = 0.0F;
    int left_ = 0;
};

}  // namespace tev
