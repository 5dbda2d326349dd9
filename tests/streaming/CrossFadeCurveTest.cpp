#include <gtest/gtest.h>

#include <cmath>

#include "output/SoundOutput.h"

using namespace tev;

namespace {

// The gains a cross-fader position gives Deck A and Deck B for a curve parameter.
std::pair<double, double> GainsAt(double p, double x) {
    SoundOutput output;
    output.ComputeCrossFadeCurve(p);
    const double levels[kDeckCount] = {1.0, 1.0};
    output.ApplyCrossFader(x, levels);
    return {output.curveGain(0), output.curveGain(1)};
}

}  // namespace

// The gains at the ends and the middle of the fader: a straight line at 0, soft at -1 (both
// loud in the middle), sharp at 1 (both at full level until the far end).
TEST(CrossFadeCurve, StraightLineAtZeroSoftAtMinusOneAndSharpAtOne) {
    const struct {
        double p, x, a, b;
    } points[] = {{0.0, -1.0, 98.0 / 99.0, 0.0},
                  {0.0, 1.0, 0.0, 98.0 / 99.0},
                  {0.0, 0.0, 49.0 / 99.0, 49.0 / 99.0},
                  {-1.0, 0.0, std::cbrt(49.0 / 99.0), 0.791},
                  {-1.0, -1.0, std::cbrt(98.0 / 99.0), 0.0},
                  {1.0, 0.0, 1.0, 1.0},
                  {1.0, -1.0, 1.0, 0.0},
                  {1.0, 1.0, 0.0, 1.0}};
    for (const auto& point : points) {
        const auto [a, b] = GainsAt(point.p, point.x);
        EXPECT_NEAR(a, point.a, 1e-12) << point.p << " at " << point.x;
        EXPECT_NEAR(b, point.b, 0.001) << point.p << " at " << point.x;
    }
}
