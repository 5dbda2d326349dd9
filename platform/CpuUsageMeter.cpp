#include "platform/CpuUsageMeter.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tev {

double CpuUsageMeter::Sample() {
    std::ifstream stat(statPath_);
    std::string line;
    if (!stat || !std::getline(stat, line)) {
        return 0.0;
    }
    std::istringstream fields(line);
    std::string label;
    fields >> label;
    if (label != "cpu") {
        return 0.0;
    }
    // user nice system idle iowait irq softirq steal (guest time is inside user already)
    uint64_t values[8] = {};
    int read = 0;
    while (read < 8 && fields >> values[read]) {
        ++read;
    }
    if (read < 4) {
        return 0.0;
    }
    uint64_t total = 0;
    for (int i = 0; i < read; ++i) {
        total += values[i];
    }
    const uint64_t idle = values[3] + (read > 4 ? values[4] : 0);
    const uint64_t idleDelta = idle - std::min(idle, previousIdle_);
    const uint64_t totalDelta = total - std::min(total, previousTotal_);
    previousIdle_ = idle;
    previousTotal_ = total;
    if (totalDelta == 0) {
        return 0.0;
    }
    const double busy =
        100.0 - static_cast<double>(idleDelta) * 100.0 / static_cast<double>(totalDelta);
    return std::clamp(busy, 0.0, 100.0);
}

uint64_t ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtoull(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

}  // namespace tev
