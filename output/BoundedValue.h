#pragma once

#include <algorithm>

namespace tev {

// A mixing value (a level, a cross fader, the curve parameter, a tempo): a double kept within a
// minimum and a maximum, -1 and 1 unless set otherwise, with an enabled flag.
class BoundedValue {
  public:
    BoundedValue() = default;
    BoundedValue(double value, double minimum, double maximum)
        : value_(value), minimum_(minimum), maximum_(maximum) {}

    double Get() const { return value_; }
    void Set(double value) { value_ = value; }
    // Adds a step, clamped at the limit in the step's direction.
    void Nudge(double step) {
        if (step > 0) {
            value_ = std::min(value_ + step, maximum_);
        } else if (step < 0) {
            value_ = std::max(value_ + step, minimum_);
        }
    }
    void SetLimits(double minimum, double maximum) {
        minimum_ = minimum;
        maximum_ = maximum;
    }
    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    bool enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }

  private:
    double value_ = 0.0;
    double minimum_ = -1.0;
    double maximum_ = 1.0;
    bool enabled_ = true;
};

}  // namespace tev
