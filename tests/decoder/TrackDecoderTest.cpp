#include "input/TrackDecoder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

#include "core/AppMessages.h"
#include "decoder/DecoderRig.h"
#include "input/FileThreads.h"
#include "thread/TestRig.h"

using namespace tev;
using tev::test::EngineRig;
using tev::test::Fixture;
using tev::test::WriteWav;

namespace {

class Decoder : public ::testing::Test {
  protected:
    std::string Path(const std::string& name) const { return dir + "/" + name; }

    // Reads chunks until the end of the stream (at most `limit`); all the 16-bit samples.
    std::vector<int16_t> ReadAll(TrackDecoder& decoder, int limit = 100000) {
        std::vector<int16_t> all;
        std::vector<uint8_t> chunk(kChunkBytes);
        for (int i = 0; i < limit; ++i) {
            uint32_t bytes = 0;
            bool end = false;
            EXPECT_EQ(decoder.Read(0, chunk.data(), bytes, end), S_OK);
            const auto* samples = reinterpret_cast<const int16_t*>(chunk.data());
            all.insert(all.end(), samples, samples + kChunkBytes / 2);
            if (end) {
                return all;
            }
        }
        ADD_FAILURE() << "no end of stream after " << limit << " chunks";
        return all;
    }

    EngineRig rig;  // the mixer that WM_TRACK_ENDED reaches
    test::TempDir temp;
    const std::string dir = temp.path;
};

}  // namespace

// Mono is duplicated into both channels and 8-bit samples are widened, at unity gain and at the
// file's own rate.
TEST_F(Decoder, MonoAndEightBitSamplesComeOutAsSixteenBitStereo) {
    std::vector<uint8_t> u8;
    for (int i = 0; i < 3000; ++i) {
        u8.push_back(static_cast<uint8_t>(i * 7));
    }
    const auto s16 = test::Bytes(test::NumberedFrames(5000, 1, 3));
    const struct {
        const char* name;
        int channels, bits, rate;
        const std::vector<uint8_t>& data;
    } files[] = {
        {"s16m.wav", 1, 16, 22050, s16}, {"u8m.wav", 1, 8, 8000, u8}, {"u8s.wav", 2, 8, 8000, u8}};
    for (const auto& file : files) {
        WriteWav(Path(file.name), file.channels, file.bits, file.rate, file.data);
        TrackDecoder decoder;
        ASSERT_EQ(decoder.Open(Path(file.name)), S_OK);
        EXPECT_EQ(decoder.SampleRate(), static_cast<uint32_t>(file.rate)) << "never resampled";
        const auto all = ReadAll(decoder);
        const size_t samples = file.data.size() * 8 / static_cast<size_t>(file.bits);
        for (size_t i = 0; i < samples * 2 / static_cast<size_t>(file.channels); ++i) {
            const size_t at = file.channels == 2 ? i : i / 2;
            int16_t expected = static_cast<int16_t>((file.data[at] - 128) * 256);
            if (file.bits == 16) {
                std::memcpy(&expected, file.data.data() + 2 * at, 2);
            }
            ASSERT_EQ(all[i], expected) << file.name << ", sample " << i;
        }
    }
}

class TrackEnd : public Decoder, public ::testing::WithParamInterface<size_t> {};

// A track comes through unchanged. One ending on a chunk boundary ends with that chunk, without an
// extra one of silence; one ending inside a chunk, or shorter than a chunk, ends with a chunk
// padded with silence. Either way the mixer is told of the end once, and the decoder closes.
TEST_P(TrackEnd, TheLastChunkHoldsTheLastFramesAndTheMixerIsToldOnce) {
    const size_t frames = GetParam();
    const auto source = test::NumberedFrames(static_cast<int>(frames), 2, 1);
    WriteWav(Path("end.wav"), 2, 16, 44100, test::Bytes(source));
    TrackDecoder decoder;
    ASSERT_EQ(decoder.Open(Path("end.wav")), S_OK);
    EXPECT_EQ(decoder.SampleRate(), 44100U);
    EXPECT_EQ(decoder.Channels(), 2U);
    EXPECT_EQ(decoder.SampleBytes(), kChunkBytes);
    const auto all = ReadAll(decoder);
    EXPECT_EQ(all.size(), (frames + kChunkFrames - 1) / kChunkFrames * kChunkFrames * 2);
    EXPECT_EQ(std::memcmp(all.data(), source.data(), source.size() * 2), 0);
    for (size_t i = source.size(); i < all.size(); ++i) {
        ASSERT_EQ(all[i], 0) << "padding at sample " << i;
    }
    EXPECT_EQ(rig.mixer.Count(WM_TRACK_ENDED), 1);
    EXPECT_FALSE(decoder.IsOpen());
    std::vector<uint8_t> chunk(kChunkBytes);
    uint32_t bytes = 0;
    bool end = false;
    EXPECT_NE(decoder.Read(0, chunk.data(), bytes, end), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Lengths, TrackEnd,
                         ::testing::Values(2 * kChunkFrames, 2 * kChunkFrames + 1000, size_t{100}));

TEST_F(Decoder, SeekToHalfSetsBytesDecodedToHalfTheTotal) {
    const auto source = test::NumberedFrames(44100, 2, 0);
    WriteWav(Path("one-second.wav"), 2, 16, 44100, test::Bytes(source));
    TrackDecoder decoder;
    ASSERT_EQ(decoder.Open(Path("one-second.wav")), S_OK);
    EXPECT_DOUBLE_EQ(decoder.GetDuration(), 1.0);
    EXPECT_EQ(decoder.TotalBytes(), 44100U * 4);
    decoder.Seek(0.5);
    EXPECT_EQ(decoder.BytesDecoded(), decoder.TotalBytes() / 2);
    EXPECT_DOUBLE_EQ(decoder.GetPosition(), 0.5);
    std::vector<uint8_t> chunk(kChunkBytes);
    uint32_t bytes = 0;
    bool end = false;
    decoder.Read(0, chunk.data(), bytes, end);
    EXPECT_EQ(std::memcmp(chunk.data(), source.data() + 22050 * 2, kChunkBytes), 0)
        << "a PCM seek lands on the very frame";
    decoder.Seek(7.0);  // out of range: the end
    EXPECT_EQ(decoder.BytesDecoded(), decoder.TotalBytes());
    decoder.Seek(std::nan(""));
    EXPECT_EQ(decoder.BytesDecoded(), 0U);
}

TEST_F(Decoder, MissingFilesAndNonFilesAreRefusedAtOnce) {
    TrackDecoder decoder;
    EXPECT_EQ(decoder.Open(""), E_UNEXPECTED);
    EXPECT_EQ(decoder.Open(Path("nothing-here.mp3")), E_UNEXPECTED);
    EXPECT_EQ(decoder.Open(dir), E_UNEXPECTED);  // a folder
    EXPECT_EQ(decoder.Open("/dev/zero"), E_UNEXPECTED);
    const std::string fifo = Path("fifo.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(decoder.Open(fifo), E_UNEXPECTED);  // and no hang waiting for a writer
    for (const char* url :
         {"http://127.0.0.1:9/song.mp3", "rtmp://127.0.0.1/live", "concat:a.wav|b.wav",
          "subfile,,start,0,end,100,,:/etc/passwd", "pipe:0", "data:audio/wav;base64,UklGRg=="}) {
        EXPECT_EQ(decoder.Open(url), E_UNEXPECTED) << url;
        EXPECT_FALSE(decoder.IsOpen());
        EXPECT_EQ(decoder.GetDuration(), 0.0);
        EXPECT_TRUE(decoder.Path().empty());
    }
}

TEST_F(Decoder, PlayListsAndDescriptionsThatNameOtherFilesAreNotFollowed) {
    TrackDecoder decoder;
    for (const char* name : {"list.m3u8", "hls-renamed.mp3", "list.ffconcat", "concat-renamed.mp3",
                             "stream.sdp", "list.pls"}) {
        EXPECT_NE(decoder.Open(Fixture(name)), S_OK) << name;
        EXPECT_FALSE(decoder.IsOpen()) << name;
    }
}

TEST_F(Decoder, BadFilesFailCleanlyOrEndCleanly) {
    TrackDecoder decoder;
    for (const char* name : {"empty.mp3", "random.mp3", "text.wav"}) {
        EXPECT_NE(decoder.Open(Fixture(name)), S_OK) << name;
        EXPECT_FALSE(decoder.IsOpen()) << name;
    }
    for (const char* name : {"truncated.mp3", "truncated.wav"}) {
        ASSERT_EQ(decoder.Open(Fixture(name)), S_OK) << name;
        const auto all = ReadAll(decoder, 1000);
        EXPECT_FALSE(all.empty());
        EXPECT_FALSE(decoder.IsOpen());
    }
}

// The highest resident memory of this process since the start of the test.
static size_t PeakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stoul(line.substr(6)) * 1024;
        }
    }
    return 0;
}

TEST_F(Decoder, ATinyFileClaimingGigabytesIsRefusedWithoutTheMemory) {
    // Where the kernel allows it, the peak starts again from what is resident now.
    { std::ofstream("/proc/self/clear_refs") << "5"; }
    const size_t before = PeakResidentBytes();
    ASSERT_GT(before, 0U);
    TrackDecoder decoder;
    EXPECT_NE(decoder.Open(Fixture("huge-list.wav")), S_OK);
    EXPECT_FALSE(decoder.IsOpen());
    TrackInfo info;
    EXPECT_FALSE(ReadTrackInfo(Fixture("huge-list.wav"), info));  // the length loader's -1
    EXPECT_LT(PeakResidentBytes(), 200U << 20) << "from " << (before >> 20) << " MB";
}

TEST_F(Decoder, HeadersThatLieAboutTheLengthDecodeToACleanEnd) {
    const auto source = test::NumberedFrames(10000, 2, 2);
    auto bytes = test::Bytes(source);
    // A WAV of `data` whose header says it holds `claimed` bytes of it.
    const auto writeClaiming = [&](const std::string& name, const std::vector<uint8_t>& data,
                                   uint32_t claimed) {
        WriteWav(Path(name), 2, 16, 44100, data);
        std::fstream file(Path(name), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(40);
        file.write(reinterpret_cast<const char*>(&claimed), 4);
    };
    // Claim ten minutes of data where there are 10,000 frames.
    writeClaiming("long-claim.wav", bytes, 44100U * 4 * 600);
    TrackDecoder decoder;
    ASSERT_EQ(decoder.Open(Path("long-claim.wav")), S_OK);
    auto all = ReadAll(decoder, 100);
    EXPECT_EQ(std::memcmp(all.data(), source.data(), source.size() * 2), 0);
    EXPECT_EQ(all.size(), 4U * kChunkFrames * 2);

    // Claim 1,000 frames where there are 10,000 more after them: only what is claimed plays.
    bytes.insert(bytes.end(), bytes.begin(), bytes.end());
    writeClaiming("short-claim.wav", bytes, 1000U * 4);
    ASSERT_EQ(decoder.Open(Path("short-claim.wav")), S_OK);
    all = ReadAll(decoder, 100);
    EXPECT_EQ(std::memcmp(all.data(), source.data(), 1000 * 4), 0);
}

TEST_F(Decoder, AnId3v1TitleAloneIsFound) {
    TrackDecoder decoder;
    ASSERT_EQ(decoder.Open(Fixture("id3v1.mp3")), S_OK);
    EXPECT_EQ(decoder.GetTitle(), "Old Tag Only");
}

TEST_F(Decoder, SurroundIsMixedDownToStereoWithoutClipping) {
    TrackDecoder decoder;
    ASSERT_EQ(decoder.Open(Fixture("surround.wav")), S_OK);
    EXPECT_EQ(decoder.Channels(), 2U);
    EXPECT_EQ(decoder.SampleRate(), 48000U);
    const auto all = ReadAll(decoder);
    int peak = 0;
    double squares = 0;
    for (const int16_t s : all) {
        peak = std::max(peak, std::abs(static_cast<int>(s)));
        squares += static_cast<double>(s) * s;
    }
    EXPECT_LT(peak, 32767) << "clipped";
    EXPECT_GT(peak, 16000) << "mixed down far too quietly";
    EXPECT_GT(std::sqrt(squares / static_cast<double>(all.size())), 2000.0);
}

TEST_F(Decoder, AudioBehindAVideoStreamIsFound) {
    TrackDecoder decoder;
    ASSERT_EQ(decoder.Open(Fixture("with-video.mp4")), S_OK);
    EXPECT_EQ(decoder.SampleRate(), 44100U);
    EXPECT_EQ(decoder.GetTitle(), "With Video");
    EXPECT_NEAR(decoder.GetDuration(), 2.0, 0.1);
}

namespace {

struct FormatCase {
    const char* file;
    const char* title;
    double seconds;
};

class Formats : public Decoder, public ::testing::WithParamInterface<FormatCase> {};

// The index of the best match of `probe` (frames) in `all` near `around`, by squared error.
int64_t FindLanding(const std::vector<int16_t>& all, const int16_t* probe, int64_t around) {
    int64_t best = -1;
    double bestError = 1e300;
    const int64_t frames = static_cast<int64_t>(all.size()) / 2;
    const int64_t span = 3 * static_cast<int64_t>(kChunkFrames);
    for (int64_t at = std::max<int64_t>(0, around - span);
         at <= std::min(frames - static_cast<int64_t>(kChunkFrames), around + span); ++at) {
        double error = 0;
        for (size_t i = 0; i < 2 * 512 && error < bestError; i += 2) {
            const double d = static_cast<double>(all[2 * at + i]) - probe[i];
            error += d * d;
        }
        if (error < bestError) {
            bestError = error;
            best = at;
        }
    }
    return best;
}

}  // namespace

TEST_P(Formats, OpensWithRateChannelsDurationAndTitle) {
    const FormatCase& c = GetParam();
    TrackDecoder decoder;
    ASSERT_EQ(decoder.Open(Fixture(c.file)), S_OK);
    EXPECT_EQ(decoder.SampleRate(), 44100U);
    EXPECT_EQ(decoder.Channels(), 2U);
    EXPECT_NEAR(decoder.GetDuration(), c.seconds, 0.1);
    EXPECT_EQ(decoder.GetTitle(), c.title);
    const auto all = ReadAll(decoder);
    EXPECT_NEAR(static_cast<double>(all.size()) / 2 / 44100, c.seconds, 0.1 + 1.0 / 15);
}

TEST_P(Formats, SeekLandsWithinAChunkOfTheTarget) {
    const FormatCase& c = GetParam();
    // Found in the original the files were encoded from: a codec's own decoding from the start
    // may be shifted (WMA's is, by 2,048 frames).
    TrackDecoder decoder;
    ASSERT_EQ(decoder.Open(Fixture("sweep.wav")), S_OK);
    const auto all = ReadAll(decoder);
    std::vector<uint8_t> chunk(kChunkBytes);
    for (const double fraction : {0.2, 0.5, 0.8}) {
        ASSERT_EQ(decoder.Open(Fixture(c.file)), S_OK);
        decoder.Seek(fraction);
        const double target = fraction * decoder.GetDuration();
        EXPECT_NEAR(decoder.GetPosition(), target, 1.0 / 15);
        uint32_t bytes = 0;
        bool end = false;
        decoder.Read(0, chunk.data(), bytes, end);
        const auto expected = static_cast<int64_t>(target * 44100);
        const int64_t landing =
            FindLanding(all, reinterpret_cast<const int16_t*>(chunk.data()), expected);
        EXPECT_LE(std::llabs(landing - expected), static_cast<int64_t>(kChunkFrames))
            << c.file << " at " << fraction << " landed at frame " << landing << " for "
            << expected;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDialogFormat, Formats,
                         ::testing::Values(FormatCase{"sweep.wav", "Sweep WAV", 3.0},
                                           FormatCase{"sweep.mp3", "Sweep MP3 ✓", 3.0},
                                           FormatCase{"sweep.ogg", "Sweep Ogg Ünïcode", 3.0},
                                           FormatCase{"sweep.wma", "Sweep WMA", 3.0},
                                           FormatCase{"sweep.flac", "Sweep FLAC", 3.0},
                                           FormatCase{"sweep.m4a", "Sweep WAV", 3.0}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             return name.substr(name.find('.') + 1);
                         });

TEST_F(Decoder, AVbrMp3WithoutXingHeaderIsMeasuredNotEstimated) {
    TrackDecoder decoder;
    ASSERT_EQ(decoder.Open(Fixture("vbr-noxing.mp3")), S_OK);
    EXPECT_NEAR(decoder.GetDuration(), 5.0, 0.1);
}
