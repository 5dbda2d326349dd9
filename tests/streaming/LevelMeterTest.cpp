#include <gtest/gtest.h>

#include <cmath>

#include "output/LevelMeter.h"

using namespace tev;

TEST(LevelMeter, StepsOverFortyToNinetySixDecibelsAtMostThreeAtATime) {
    LevelMeter meter;
    meter.Configure(10, 40.0f, 96.0f);
    for (const auto& [level, step] : {std::pair{40.0f, 0}, {0.0f, 0}, {68.0f, 5}}) {
        LevelMeter fresh;
        fresh.Configure(10, 40.0f, 96.0f);
        for (int i = 0; i < 4; ++i) {
            fresh.Set(level);
        }
        EXPECT_EQ(fresh.Current(), step) << level << " dB";
    }
    for (const int expected : {3, 6, 9, 10}) {
        meter.Set(96.0f);
        EXPECT_EQ(meter.Current(), expected);
    }
    meter.Set(120.0f);
    EXPECT_EQ(meter.Current(), 10);
    meter.Set(0.0f);
    EXPECT_EQ(meter.Current(), 7);
    meter.Set(std::nanf(""));
    EXPECT_EQ(meter.Current(), 4);
    meter.Reset();
    EXPECT_EQ(meter.Current(), 0);
}
