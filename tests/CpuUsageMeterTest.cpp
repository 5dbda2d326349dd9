#include "platform/CpuUsageMeter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

using tev::CpuUsageMeter;

namespace {

class Stat {
  public:
    Stat() {
        char pattern[] = "/tmp/tev-stat-XXXXXX";
        const int fd = mkstemp(pattern);
        close(fd);
        path = pattern;
    }
    ~Stat() { std::remove(path.c_str()); }
    void Write(const std::string& text) const { std::ofstream(path) << text; }
    std::string path;
};

}  // namespace

TEST(CpuUsageMeter, ASampleCoversTheTimeSinceThePreviousOne) {
    Stat stat;
    CpuUsageMeter meter(stat.path);
    stat.Write("cpu  100 0 100 700 100 0 0 0 0 0\ncpu0 50 0 50 350 50 0 0 0 0 0\n");
    EXPECT_NEAR(meter.Sample(), 20.0, 1e-9);  // since boot: 200 busy of 1,000
    stat.Write("cpu  400 0 100 900 100 0 0 0 0 0\n");
    EXPECT_NEAR(meter.Sample(), 60.0, 1e-9);  // 300 busy, 200 idle
    stat.Write("cpu  400 0 100 900 100 0 0 0 0 0\n");
    EXPECT_EQ(meter.Sample(), 0.0) << "no time passed";
}

TEST(CpuUsageMeter, UnreadableStatisticsReportZero) {
    CpuUsageMeter missing("/nonexistent/stat");
    EXPECT_EQ(missing.Sample(), 0.0);
    Stat stat;
    stat.Write("intr 12 34\n");
    CpuUsageMeter garbage(stat.path);
    EXPECT_EQ(garbage.Sample(), 0.0);
    CpuUsageMeter real;
    const double load = real.Sample();
    EXPECT_GE(load, 0.0);
    EXPECT_LE(load, 100.0);
}
