#pragma once

#include <chrono>
#include <cstdint>

namespace tev {

// The high-resolution counter: ticks of the steady clock, and how many of them make a second.
inline int64_t PerfCounter() noexcept {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

inline constexpr int64_t PerfCounterFrequency() noexcept {
    using Period = std::chrono::steady_clock::period;
    return Period::den / Period::num;
}

}  // namespace tev
