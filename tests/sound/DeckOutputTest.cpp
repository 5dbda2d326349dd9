#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "output/SoundOutput.h"
#include "platform/MixerLineControl.h"

using namespace tev;

namespace {

// A chunk whose every sample holds `value`.
std::vector<int16_t> Chunk(int16_t value) {
    return std::vector<int16_t>(kChunkBytes / 2, value);
}

struct Rig {
    std::shared_ptr<ManualClockCard> card = std::make_shared<ManualClockCard>(4);
    SoundOutput main;
    SoundOutput monitor;
    Rig() {
        ResetEngineState();
        main.Open(card, 0, "Card (Front)");
        monitor.Open(card, 1, "Card (Rear)");
    }
};

}  // namespace

struct Heard {
    double gain;
    double pan;
    double left;  // the levels heard for a full-scale chunk, in decibels
    double right;
};

class DeckLevel : public ::testing::TestWithParam<Heard> {};

// A deck's level is a straight line in decibels from -56 dB to 0 dB, silence at 0.0001 and
// below; a pan takes away from the other side.
TEST_P(DeckLevel, IsHeardAtItsDecibels) {
    const Heard heard = GetParam();
    Rig rig;
    ASSERT_EQ(rig.main.CreateDeckBuffers(0, 44100, true, false), S_OK);
    const auto chunk = Chunk(32767);
    for (uint32_t k = 0; k < kDeckSlots; ++k) {  // a whole buffer ahead
        rig.main.WriteForwardChunk(0, chunk.data());
    }
    rig.main.SetDeckVolume(0, heard.gain);
    rig.main.SetDeckPan(0, heard.pan);
    rig.main.deckDevice()->deck(0).forwardBuffer->Play(true);
    const auto out = rig.card->Render(4000);
    const auto decibels = [](float v) { return v <= 0.0F ? -200.0 : 20.0 * std::log10(v); };
    EXPECT_NEAR(decibels(out[3999 * 4]), heard.left, 0.01);
    EXPECT_NEAR(decibels(out[3999 * 4 + 1]), heard.right, 0.01);
}

INSTANTIATE_TEST_SUITE_P(GainsAndPans, DeckLevel,
                         ::testing::Values(Heard{1.0, 0.0, 0.0, 0.0}, Heard{0.5, 0.0, -28.0, -28.0},
                                           Heard{0.00011, 0.0, -56.0, -56.0},
                                           Heard{0.0001, 0.0, -200.0, -200.0},
                                           Heard{1.0, 0.25, -25.0, 0.0},
                                           Heard{1.0, -1.0, 0.0, -200.0},
                                           Heard{0.5, 0.5, -78.0, -28.0}));

TEST(DeckOutput, NewBuffersAreSilentWithTheirCursorsAtZero) {
    Rig rig;
    ASSERT_EQ(rig.main.CreateDeckBuffers(0, 44100, true, true), S_OK);
    EXPECT_EQ(rig.main.ForwardWriteCursor(0), 0);
    EXPECT_EQ(rig.main.ForwardWriteSlot(0), 0);
    EXPECT_EQ(rig.main.ForwardPlayCursor(0), 0);
    EXPECT_EQ(rig.main.BackwardPlayCursor(0), 0);
    EXPECT_EQ(rig.main.deckDevice()->deck(0).backwardWriteCursor, 0);
    rig.main.deckDevice()->deck(0).forwardBuffer->Play(true);
    for (const float v : rig.card->Render(4000)) {
        ASSERT_EQ(v, 0.0F);
    }
}

TEST(DeckOutput, VolumeAndPanReachBothBuffersAndFrequencyOnlyTheForwardOne) {
    Rig rig;
    rig.main.CreateDeckBuffers(0, 32000, false, true);
    const DeckBufferDevice* device = rig.main.deckDevice();
    rig.main.SetDeckVolume(0, 0.5);
    rig.main.SetDeckPan(0, -0.25);
    rig.main.SetFrequency(0, 34560);
    for (const SoundBuffer* b : {device->deck(0).forwardBuffer, device->deck(0).backwardBuffer}) {
        EXPECT_EQ(b->GetVolume(), -2800);
        EXPECT_EQ(b->GetPan(), -2500);
    }
    EXPECT_EQ(device->deck(0).forwardBuffer->GetFrequency(), 34560U);
    EXPECT_EQ(device->deck(0).backwardBuffer->GetFrequency(), 32000U);
    EXPECT_EQ(rig.main.DeckFrequency(0), 34560U);

    // The next track's buffers keep the deck's pan.
    rig.main.CreateDeckBuffers(0, 44100, false, true);
    EXPECT_EQ(device->deck(0).forwardBuffer->GetPan(), -2500);
    EXPECT_EQ(device->deck(0).backwardBuffer->GetPan(), -2500);
}

TEST(DeckOutput, AnOutputWithoutADeviceAcceptsEverythingSilently) {
    ResetEngineState();
    SoundOutput none;
    EXPECT_FALSE(none.HasDevice());
    EXPECT_EQ(none.CreateDeckBuffers(0, 44100, true, true), S_OK);
    EXPECT_EQ(none.WriteForwardChunk(0, Chunk(1).data()), S_OK);
    EXPECT_EQ(none.PlayForward(0), S_OK);
    EXPECT_FALSE(none.IsPlayingForward(0));
    EXPECT_EQ(none.SwitchToForward(0), S_OK);
    none.Open(nullptr, 0, "nothing");
    EXPECT_FALSE(none.HasDevice());
    auto stereo = std::make_shared<ManualClockCard>(2);
    none.Open(stereo, 1, "no rear pair on a stereo card");
    EXPECT_FALSE(none.HasDevice());
}

TEST(MixerLines, ControlArithmetic) {
    EXPECT_EQ(MixerLineControl::ValueFor(0, 65535, 50), 32767);
    EXPECT_EQ(MixerLineControl::ValueFor(0, 65535, 100), 65535);
    EXPECT_EQ(MixerLineControl::ValueFor(-20, 80, 25), 5) << "counted from the minimum";
    EXPECT_EQ(MixerLineControl::ValueFor(0, 87, 250), 87) << "never past the maximum";
    EXPECT_EQ(MixerLineControl::PercentOf(0, 65535, 49151), 75U);
    EXPECT_EQ(MixerLineControl::PercentOf(0, 0, 0), 100U) << "an unreadable range reads as full";
    EXPECT_EQ(MixerLineControl::MixerForDevice("HDA Intel PCH: ALC892 Analog (hw:0,0)"), "hw:0");
    EXPECT_EQ(MixerLineControl::MixerForDevice("USB Audio: - (hw:12,3)"), "hw:12");
    EXPECT_EQ(MixerLineControl::MixerForDevice("pulse"), "default");
}

TEST(MixerLines, BalanceSplitsTheSpeakersVolume) {
    auto percents = SoundOutput::BalanceOf(0.8, -0.5);
    EXPECT_EQ(percents.left, 80U);
    EXPECT_EQ(percents.right, 40U);
    percents = SoundOutput::BalanceOf(0.8, 1.0);
    EXPECT_EQ(percents.left, 0U);
    EXPECT_EQ(percents.right, 80U);
    percents = SoundOutput::BalanceOf(0.8, 0.0);
    EXPECT_EQ(percents.left, 80U);
    EXPECT_EQ(percents.right, 80U);
}

namespace {

// A card whose stream can be made to vanish.
class VanishingCard : public SoundCard {
  public:
    VanishingCard() : SoundCard("Vanishing", 2, 44100) {}
    void Vanish() { MarkLost(); }
};

}  // namespace

TEST(DeckOutput, AVanishedCardLeavesItsOutputSilentButWorking) {
    ResetEngineState();
    auto card = std::make_shared<VanishingCard>();
    SoundOutput output;
    output.Open(card, 0, "Vanishing");
    output.CreateDeckBuffers(0, 44100, true, true);
    EXPECT_FALSE(output.IsDeviceLost());
    card->Vanish();
    EXPECT_TRUE(output.IsDeviceLost());
    // Everything still answers; nothing blocks on the stream that is gone.
    EXPECT_EQ(output.WriteForwardChunk(0, Chunk(5).data()), S_OK);
    EXPECT_EQ(output.PlayForward(0), S_OK);
    EXPECT_EQ(output.StopDeck(0), S_OK);
    EXPECT_EQ(output.CreateDeckBuffers(0, 44100, true, true), S_OK);
    output.Release();
    EXPECT_FALSE(output.IsDeviceLost());
}
