#pragma once

#include <cstdint>
#include <string>

namespace tev {

// The processor load, from the kernel's statistics (/proc/stat): each sample covers the time
// since the previous one, over all processors. The first sample covers the time since boot.
class CpuUsageMeter {
  public:
    explicit CpuUsageMeter(std::string statPath = "/proc/stat") : statPath_(std::move(statPath)) {}

    // Percent busy since the previous sample (0 ... 100); 0 when the statistics cannot be read.
    double Sample();

  private:
    std::string statPath_;
    uint64_t previousIdle_ = 0;
    uint64_t previousTotal_ = 0;
};

// The process's resident memory in KiB (VmRSS of /proc/self/status); 0 when it cannot be read.
uint64_t ResidentKilobytes();

}  // namespace tev
