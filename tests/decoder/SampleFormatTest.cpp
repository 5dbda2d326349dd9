#include "analysis/SampleFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace tev;

TEST(SampleFormat, InterleavingAndDeinterleavingAreInverses) {
    const std::vector<int16_t> left = {1, -2, 32767, -32768};
    const std::vector<int16_t> right = {5, 6, -7, 8};
    std::vector<int16_t> both(8);
    InterleaveStereo16(left.data(), right.data(), both.data(), 4);
    EXPECT_EQ(both, (std::vector<int16_t>{1, 5, -2, 6, 32767, -7, -32768, 8}));
    std::vector<int16_t> l(4);
    std::vector<int16_t> r(4);
    DeinterleaveStereo16(both.data(), l.data(), r.data(), both.size());
    EXPECT_EQ(l, left);
    EXPECT_EQ(r, right);
    const std::vector<float> f = {0.5F, -0.25F, 1.0F, 0.0F};
    std::vector<float> fl(2);
    std::vector<float> fr(2);
    DeinterleaveStereoFloat(f.data(), fl.data(), fr.data(), f.size());
    EXPECT_EQ(fl, (std::vector<float>{0.5F, 1.0F}));
    EXPECT_EQ(fr, (std::vector<float>{-0.25F, 0.0F}));
}

TEST(SampleFormat, MonoAndEightBitConversions) {
    const std::vector<int16_t> mono = {-32768, 0, 32767};
    std::vector<int16_t> stereo(6);
    MonoToStereo16(mono.data(), stereo.data(), mono.size());
    EXPECT_EQ(stereo, (std::vector<int16_t>{-32768, -32768, 0, 0, 32767, 32767}));
    const std::vector<uint8_t> bytes = {0, 128, 255, 1};
    std::vector<int16_t> wide(4);
    Widen8To16(bytes.data(), wide.data(), bytes.size());
    EXPECT_EQ(wide, (std::vector<int16_t>{-32768, 0, 32512, -32512}));
}

TEST(SampleFormat, LevelsOfSilenceAreZeroNotMinusInfinity) {
    const std::vector<float> zeros(100, 0.0F);
    EXPECT_EQ(LevelDb(zeros.data(), zeros.size()), 0.0F);
    const std::vector<float> constant(100, 0.7F);
    EXPECT_EQ(LevelDb(constant.data(), constant.size()), 0.0F);  // no deviation
    std::vector<float> square;
    for (int i = 0; i < 100; ++i) {
        square.push_back(i % 2 == 0 ? 10.0F : -10.0F);
    }
    EXPECT_NEAR(LevelDb(square.data(), square.size()), 20.0F, 1e-4);
    const std::vector<int16_t> tiny = {0, 1, 0, -1, 0, 0, 0, 0};  // sigma 0.5 rounds to 1
    EXPECT_NEAR(LevelDb16(tiny.data(), tiny.size()), 0.0F, 1e-6);
    const std::vector<int16_t> quiet = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0};  // sigma 0.3 rounds to 0
    EXPECT_EQ(LevelDb16(quiet.data(), quiet.size()), 0.0F);
    std::vector<int16_t> loud;
    for (int i = 0; i < 100; ++i) {
        loud.push_back(i % 2 == 0 ? 1000 : -1000);
    }
    EXPECT_NEAR(LevelDb16(loud.data(), loud.size()), 60.0F, 1e-4);
}
