#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>

#include "decks/CTevEqualizerGraph.h"

using namespace tev;

namespace {

constexpr int kBands = CTevEqualizerGraph::kMaxBands;

TEST(EqualizerGraph, EachBandIsDrawnInItsColourAtItsLevelOnBlack) {
    CTevEqualizerGraph graph;
    graph.resize(640, 80);  // a pixel a point, two pixels a decibel
    // Flat at +15.25, +5.25, -4.75, -14.75 and +0.25 dB: through rows 9, 29, 49, 69 and 39.
    const float levels[] = {15.25F, 5.25F, -4.75F, -14.75F, 0.25F};
    const int rows[] = {9, 29, 49, 69, 39};
    for (int b = 0; b < kBands; ++b) {
        std::fill_n(graph.response(b), CTevEqualizerGraph::kPoints, levels[b]);
    }
    graph.SetBandCount(4);
    const QImage four = graph.grab().toImage();
    graph.SetBandCount(5);
    const QImage five = graph.grab().toImage();
    const auto distance = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
               std::abs(qBlue(a) - qBlue(b));
    };
    for (int b = 0; b < kBands; ++b) {
        for (const int x : {2, 320, 636}) {
            EXPECT_LT(distance(five.pixel(x, rows[b]), CTevEqualizerGraph::kBandColours[b]), 40)
                << "band " << b + 1 << " at " << x;
            EXPECT_EQ(four.pixel(x, rows[b]), b == 4 ? qRgb(0, 0, 0) : five.pixel(x, rows[b]));
        }
    }
    for (const int row : {0, 19, 34, 44, 59, 79}) {
        EXPECT_EQ(five.pixel(320, row), qRgb(0, 0, 0)) << "row " << row;
    }
}

}  // namespace
