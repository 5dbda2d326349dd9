#pragma once

#include <algorithm>

namespace tev {

// A deck's level meter: the step shown for a level in decibels, moving at most three steps per
// update so the bar rises and falls smoothly at the notification rate.
class LevelMeter {
  public:
    void Configure(int steps, float minimum, float maximum) {
        steps_ = steps;
        minimum_ = minimum;
        maximum_ = maximum;
    }
    void Set(float value) {
        float r = (value - minimum_) / (maximum_ - minimum_);
        r = r >= 1.0f ? 1.0f : (r < 0.0f || r != r ? 0.0f : r);
        const int target = std::clamp(static_cast<int>(static_cast<float>(steps_) * r), 0, steps_);
        for (int i = 0; i < kStepsPerUpdate; ++i) {
            if (target > current_) {
                ++current_;
            }
            if (target < current_ && current_ > 0) {
                --current_;
            }
        }
    }
    int Current() const { return current_; }
    void Reset() { current_ = 0; }

  private:
    static constexpr int kStepsPerUpdate = 3;
    float maximum_ = 1.0f;
    float minimum_ = 0.0f;
    int current_ = 0;
    int steps_ = 0;
};

}  // namespace tev
