#include <gtest/gtest.h>

#include <QProgressBar>
#include <QTest>

#include "decks/CTevCircularChartGraph.h"

#include "output/CTevCrossFaderCtrl.h"
#include "support/AppRig.h"

using namespace tev;
using tev::test::AppRig;
using tev::test::ExpectFrames;

namespace {

constexpr size_t kRamp = test::kFadeInFrames;

}  // namespace

TEST(Player, TwoDecksPlayThroughThePanelsAndTheMainCrossFaderMovesTheMix) {
    AppRig rig;
    const auto a = rig.MakeFile("a.wav", 300 * static_cast<int>(kChunkFrames), 0);
    const auto b = rig.MakeFile("b.wav", 300 * static_cast<int>(kChunkFrames), 900);
    rig.Browse(0, "a.wav");
    rig.Browse(1, "b.wav");

    // Both decks start before the first frame is rendered, so their files line up.
    ASSERT_TRUE(rig.Play({0, 1}));

    // Both cross faders start at Deck A's end, with the stored deck level 0.7.
    const double level = rig.mixer->engine().deckLevel[0].Get();
    ASSERT_NEAR(level, 0.7, 1e-4);
    const double gain = AppRig::Gain(level, 98.0 / 99.0);
    const auto before = rig.PlaySlots(30);
    ExpectFrames(before, {0, 1}, kRamp, before.size() / 4, a, kRamp, gain);
    EXPECT_GT(rig.mixer->levelMeter(0)->value(), 0);
    EXPECT_GT(rig.mixer->levelMeter(1)->value(), 0);  // what the deck plays, before its fader

    // The main cross fader goes over to Deck B; the headphones stay on Deck A.
    CTevCrossFaderCtrl& fader = *rig.mixer->mainCrossFader();
    fader.setSliderDown(true);  // dragged by hand to the other end
    fader.setSliderPosition(1000);
    fader.setSliderDown(false);
    ASSERT_EQ(fader.value(), 1000);
    const auto after = rig.PlaySlots(30);
    std::vector<int16_t> aLater(a.begin() + static_cast<long>(before.size() / 2), a.end());
    std::vector<int16_t> bLater(b.begin() + static_cast<long>(before.size() / 2), b.end());
    ExpectFrames(after, {0}, kRamp, after.size() / 4, bLater, kRamp, gain);
    ExpectFrames(after, {1}, 0, after.size() / 4, aLater, 0, gain);

    EXPECT_NEAR(rig.deck[0]->elapsedSeconds(), 4.0, 0.2);
    EXPECT_EQ(rig.deck[1]->chart()->rotation(), 60 % 27);
}
