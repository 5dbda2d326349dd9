#include "decks/DeckTransport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "streaming/StreamRig.h"

using namespace tev;
using tev::test::ExpectFrames;
using tev::test::Sample;
using tev::test::StreamRig;

namespace {

// Frames a start takes to rise from silence, and a pause to fall to it.
constexpr size_t kRamp = test::kFadeInFrames;
const double kGain = test::Gain(1.0, 98.0 / 99.0);

// What the mixer tells Deck A, routed to its transport alone, as keyboard control will drive it.
class TransportDecks : public DeckReports {
  public:
    explicit TransportDecks(DeckTransport& transport) : transport_(transport) {}
    const std::string& CurrentFile(int) const override { return transport_.filePath(); }
    uint32_t SampleRate(int) const override { return transport_.SourceRate(); }
    void MarkReady(int) override { transport_.MarkReady(); }
    void StopAtEnd(int) override { transport_.StopAtEnd(); }
    void UpdateElapsed(int, uint32_t bytesAhead) override { transport_.UpdateElapsed(bytesAhead); }
    void UpdatePositionFromElapsed(int) override { transport_.UpdatePositionFromElapsed(); }

  private:
    DeckTransport& transport_;
};

// The frame of a numbered file (left sample = frame number, wrapping at 16 bits) that frame `f`
// of the main output plays, known to lie within 32,767 frames of `near`.
size_t FileFrameNear(const std::vector<float>& out, size_t f, size_t near) {
    const auto heard = static_cast<uint16_t>(std::lround(Sample(out, f, 0) / kGain));
    return near + static_cast<int16_t>(static_cast<uint16_t>(heard - near));
}

class DeckTransportTest : public ::testing::Test {
  protected:
    DeckTransportTest() {
        rig.engine = std::make_unique<MixerEngine>(rig.monitor, rig.main, decks, rig.analysis);
        rig.engine->deckLevel[0].Set(1.0);
    }

    // Plays `count` slots: past the start's ramp the main output plays the file frame for frame,
    // forward (step 1) or backward (-1), from a frame within `chunks` chunks of `near`. The file's
    // frame it got to.
    size_t HeardFrom(int count, size_t near, size_t chunks, int step = 1) {
        const auto out = rig.PlaySlots(count);
        const size_t from = FileFrameNear(out, kRamp, near);
        EXPECT_LE(std::abs(static_cast<long>(from) - static_cast<long>(near)),
                  static_cast<long>(chunks * kChunkFrames));
        ExpectFrames(out, {0}, kRamp, out.size() / 4, file, from, kGain, step);
        return static_cast<size_t>(static_cast<long>(from) +
                                   step * static_cast<long>(out.size() / 4 - kRamp));
    }

    DeckTransport transport{0};  // outlives the rig, whose end may still reach it
    TransportDecks decks{transport};
    StreamRig rig;
    std::vector<int16_t> file;
};

}  // namespace

TEST_F(DeckTransportTest, WithoutAPanelItLoadsPlaysPausesSeeksCuesAndPlaysBackward) {
    file = rig.MakeFile("a.wav", 400 * kChunkFrames, 0);
    ASSERT_TRUE(transport.LoadFile(rig.dir + "/a.wav"));
    EXPECT_EQ(transport.source(), DeckTransport::kSourceFile);
    EXPECT_NEAR(transport.lengthSeconds(), 400.0 / 15, 1e-6);

    // Play starts once the ring is primed, from the first frame.
    transport.PlayPause(false);
    ASSERT_TRUE(transport.IsPlaying());
    HeardFrom(30, kRamp, 0);
    EXPECT_NEAR(transport.elapsedSeconds(), 2.0, 0.2);

    // A pause silences both outputs after the fade.
    transport.PlayPause(true);
    EXPECT_FALSE(transport.IsPlaying());
    EXPECT_FALSE(rig.main.IsPlayingForward(0));
    const auto paused = rig.PlaySlots(2);
    ExpectFrames(paused, {0, 1}, kRamp, paused.size() / 4, {}, 0, 0.0);

    // A seek of the paused deck: play resumes there, within a chunk.
    transport.SeekTo(0.5);
    EXPECT_NEAR(transport.elapsedSeconds(), 200.0 / 15, 1e-6);
    transport.PlayPause(true);
    ASSERT_TRUE(transport.IsPlaying());
    const size_t reached = HeardFrom(45, 200 * kChunkFrames + kRamp, 1);

    // The cue, set while playing, is where a pause by the Play button returns to.
    ASSERT_TRUE(transport.EngageCue());
    const double cue = transport.cuePointSeconds();
    EXPECT_NEAR(cue * 44100, static_cast<double>(reached), 0.25 * 44100);
    rig.PlaySlots(15);
    transport.PlayPause(false);
    EXPECT_FALSE(transport.IsPlaying());
    EXPECT_TRUE(transport.atCuePoint());
    EXPECT_NEAR(transport.position() * transport.lengthSeconds(), cue, 1e-6);
    transport.PlayPause(false);
    ASSERT_TRUE(transport.IsPlaying());
    const size_t played = HeardFrom(15, static_cast<size_t>(cue * 44100) + kRamp, 1);

    // Backward over what was just played, then forward again from where backward play got to.
    transport.PlayBackward();
    EXPECT_TRUE(transport.playingBackward());
    EXPECT_TRUE(rig.main.IsPlayingBackward(0));
    const size_t backTo = HeardFrom(8, played - kRamp, 2, -1);
    transport.PlayResumeAfterBackward();
    EXPECT_FALSE(transport.playingBackward());
    EXPECT_TRUE(transport.IsPlaying());
    EXPECT_TRUE(rig.main.IsPlayingForward(0));
    HeardFrom(8, backTo + kRamp, 2);
}
