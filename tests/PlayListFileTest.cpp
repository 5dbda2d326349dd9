#include "playlist/PlayListFile.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <random>
#include <set>

#include "decoder/DecoderRig.h"

namespace tev {
void PrintTo(const PlayListEntry& e, std::ostream* os) {
    *os << "{\"" << e.path << "\", \"" << e.title << "\", " << e.length
        << (e.neverOpen ? ", never open}" : "}");
}
}  // namespace tev

namespace fs = std::filesystem;
using tev::PlayListEntry;

namespace {

PlayListEntry E(std::string path, std::string title = {}, double length = -1.0,
                bool neverOpen = false) {
    return {std::move(path), std::move(title), length, neverOpen};
}
PlayListEntry Url(std::string path) {
    return E(std::move(path), {}, -1.0, true);
}

// Names that exist in the list's folder /lists, for the cases where the literal name wins.
bool Exists(const std::string& path) {
    static const std::set<std::string> names = {"/lists/odd\\name.mp3", "/lists/r\xE9sum\xE9.mp3"};
    return names.count(path) != 0;
}

struct ReadCase {
    const char* name;
    std::string text;
    std::vector<PlayListEntry> expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class M3uReading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(M3uReading, GivesTheEntries) {
    EXPECT_EQ(tev::ParseM3u(GetParam().text, "/lists", Exists), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, M3uReading,
    ::testing::Values(
        ReadCase{"Extended",
                 "#EXTM3U\n#EXTINF:215,Artist - Song\nSongs/a.mp3\n#EXTINF:-1,\n/abs/b.ogg\n",
                 {E("/lists/Songs/a.mp3", "Artist - Song", 215), E("/abs/b.ogg")}},
        ReadCase{"NoHeaderEveryLineIsAPath",
                 "#first.mp3\n#EXTINF:7,T\nsecond.mp3",
                 {E("/lists/#first.mp3"), E("/lists/second.mp3", "T", 7)}},
        ReadCase{"CommaRightAfterColonAndNoComma",
                 "#EXTM3U\n#EXTINF:,Title\na.mp3\n#EXTINF:123\nb.mp3\n#EXTINF:9.9,\nc.mp3\n",
                 {E("/lists/a.mp3"), E("/lists/b.mp3"), E("/lists/c.mp3", "", 9)}},
        ReadCase{"LengthsAsAnIntegerConversionReadsThem",
                 "#EXTM3U\n#EXTINF: 42 tvg-id=\"x\",A\na\n#EXTINF:-7,B\nb\n"
                 "#EXTINF:99999999999999999999,C\nc\n",
                 {E("/lists/a", "A", 42), E("/lists/b", "B"), E("/lists/c", "C", 1e10)}},
        ReadCase{"DirectivesOfOtherProgramsAreSkipped",
                 "#EXTM3U\n#PLAYLIST:Mine\n#EXTINF:3,T\n#EXTVLCOPT:start-time=5\n#EXTGRP:g\n"
                 "# a comment\na.mp3\n",
                 {E("/lists/a.mp3", "T", 3)}},
        ReadCase{"BlankLinesCarriageReturnsMarkAndPadding",
                 "\xEF\xBB\xBF#EXTM3U\r\n\r\n   \t\r\n#EXTINF:1,T\r\n\n  a b.mp3  \r\n"
                 "#EXTINF:2,dangling\n",
                 {E("/lists/a b.mp3", "T", 1)}},
        ReadCase{"Latin1LinesOfOldLists",
                 "#EXTM3U\n#EXTINF:5,Caf\xE9\ncaf\xE9.mp3\nr\xE9sum\xE9.mp3\n",
                 {E("/lists/caf\xC3\xA9.mp3", "Caf\xC3\xA9", 5), E("/lists/r\xE9sum\xE9.mp3")}},
        ReadCase{"WindowsNames",
                 "Old Songs\\a.mp3\nodd\\name.mp3\n./here.mp3\n",
                 {E("/lists/Old Songs/a.mp3"), E("/lists/odd\\name.mp3"), E("/lists/here.mp3")}},
        ReadCase{"UrlsAndPseudoProtocolsAreNeverOpened",
                 "http://h/a.mp3\nhttps://h/b\nftp://h/c\nrtmp://h/d\nudp://h:1\ntcp://h:2\n"
                 "pipe:0\nconcat:a|b\nfile:/etc/passwd\nC:\\Music\\a.mp3\nmy+sc-1.x:y\n",
                 {Url("http://h/a.mp3"), Url("https://h/b"), Url("ftp://h/c"), Url("rtmp://h/d"),
                  Url("udp://h:1"), Url("tcp://h:2"), Url("pipe:0"), Url("concat:a|b"),
                  Url("file:/etc/passwd"), Url("C:\\Music\\a.mp3"), Url("my+sc-1.x:y")}},
        ReadCase{"ColonsThatAreNoScheme",
                 "1a:b.mp3\ndir/a:b.mp3\n_x:y.mp3\n",
                 {E("/lists/1a:b.mp3"), E("/lists/dir/a:b.mp3"), E("/lists/_x:y.mp3")}},
        ReadCase{"ListsAreNamedNotRead",
                 "self.m3u\nother.PLS\nsheet.cue\nmix.ldj\nu.M3u8\n",
                 {E("/lists/self.m3u", "", -1, true), E("/lists/other.PLS", "", -1, true),
                  E("/lists/sheet.cue", "", -1, true), E("/lists/mix.ldj", "", -1, true),
                  E("/lists/u.M3u8", "", -1, true)}},
        ReadCase{"ZeroByteInAName", std::string("a\0b.mp3\nc.mp3", 13), {E("/lists/c.mp3")}}),
    [](const auto& info) { return std::string(info.param.name); });

class PlsReading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(PlsReading, GivesTheEntries) {
    EXPECT_EQ(tev::ParsePls(GetParam().text, "/lists", Exists), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PlsReading,
    ::testing::Values(
        ReadCase{"Written",
                 "[playlist]\nFile1=a.mp3\nTitle1=A\nLength1=61\nFile2=/abs/b.mp3\nTitle2=\n"
                 "Length2=-1\nNumberOfEntries=2\nVersion=2\n",
                 {E("/lists/a.mp3", "A", 61), E("/abs/b.mp3")}},
        ReadCase{"KeysOutOfOrderAndMissing",
                 "[playlist]\r\nFile3=c.mp3\r\nTitle3=C\r\nFile1=a.mp3\r\nLength1=5\r\n"
                 "File2=b.mp3\r\nTitle9=B\r\nLength9=7",
                 {E("/lists/c.mp3", "C"), E("/lists/a.mp3", "", 5), E("/lists/b.mp3", "B", 7)}},
        ReadCase{"KeyWithoutNumberOrValue",
                 "\xEF\xBB\xBF[playlist]\nFile=x.mp3\nfile1=y.mp3\nFile1\nFile2=  \nFile3=udp:\n",
                 {Url("udp:")}},
        ReadCase{"NoHeader", "File1=a.mp3\n", {}},
        ReadCase{"HeaderNotFirst", "\n[playlist]\nFile1=a.mp3\n", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlayListText, IsWrittenLineByLine) {
    const std::vector<PlayListEntry> tracks = {E("/m/a.mp3", "Two\nlines", 75.9),
                                               E("/m/bad\nname.mp3", "lost"), E("#rel.mp3"),
                                               Url("http://h/x")};
    EXPECT_EQ(tev::FormatM3u(tracks),
              "#EXTM3U\n#EXTINF:75,Two lines\n/m/a.mp3\n#EXTINF:-1,\n./#rel.mp3\n"
              "#EXTINF:-1,\nhttp://h/x\n");
    EXPECT_EQ(tev::FormatPls(tracks),
              "[playlist]\nFile1=/m/a.mp3\nTitle1=Two lines\nLength1=75\nFile2=#rel.mp3\n"
              "Title2=\nLength2=-1\nFile3=http://h/x\nTitle3=\nLength3=-1\n"
              "NumberOfEntries=3\nVersion=2\n");
}

TEST(PlayListText, KeepsNoMoreThanTheEntryCap) {
    std::string text;
    for (size_t i = 0; i < tev::kMaxPlayListEntries + 5; ++i) {
        text += "a\n";
    }
    EXPECT_EQ(tev::ParseM3u(text, "/l", Exists).size(), tev::kMaxPlayListEntries);
}

class PlayListFolder : public ::testing::Test {
  protected:
    // Runs `save` in a child process as an unprivileged user and returns its exit code: as root
    // a folder's permissions would not stop the write.
    static int InChild(const std::function<int()>& save) {
        const pid_t child = fork();
        if (child == 0) {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
                _exit(100);
            }
            _exit(save());
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
    }
    std::vector<std::string> LeftOver() const {
        std::vector<std::string> names;
        for (const auto& item : fs::directory_iterator(dir)) {
            names.push_back(item.path().filename().string());
        }
        return names;
    }

    tev::test::TempDir temp;
    const fs::path dir = temp.path;
};

class PlayListRoundTrip : public PlayListFolder,
                          public ::testing::WithParamInterface<const char*> {};

TEST_P(PlayListRoundTrip, GivesBackTheEntries) {
    const std::string list = (dir / (std::string("list") + GetParam())).string();
    std::vector<PlayListEntry> tracks = {
        E("/music/Bj\xC3\xB6rk \xE2\x80\x93 J\xC3\xB3ga \xE2\x99\xAB.mp3", "J\xC3\xB3ga", 305.6),
        E("/music/#1 hit.mp3", "Artist, The - #1", 0),
        E("/music/two  spaces/a b.ogg"),
        E((dir / "ab.m3u").string(), "", -1, true),
        Url("http://127.0.0.1/x.mp3"),
    };
    const tev::PlayListSaveResult saved = tev::SavePlayList(list, tracks);
    ASSERT_TRUE(saved.written) << saved.error;
    EXPECT_EQ(saved.path, list);
    const tev::PlayListLoadResult loaded = tev::LoadPlayList(list);
    EXPECT_EQ(loaded.error, "");
    tracks[0].length = 305;
    EXPECT_EQ(loaded.entries, tracks);
}

INSTANTIATE_TEST_SUITE_P(Formats, PlayListRoundTrip, ::testing::Values(".m3u", ".PLS", ".m3u8"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST_F(PlayListFolder, NameWithoutExtensionIsSavedAsM3uAndOthersAreNotWritten) {
    std::vector<PlayListEntry> tracks = {E("/m/a.mp3")};
    const auto saved = tev::SavePlayList((dir / "mix").string(), tracks);
    EXPECT_TRUE(saved.written);
    EXPECT_EQ(saved.path, (dir / "mix.m3u").string());
    EXPECT_EQ(tev::test::ReadFile(saved.path), "#EXTM3U\n#EXTINF:-1,\n/m/a.mp3\n");
    const auto other = tev::SavePlayList((dir / "mix.txt").string(), tracks);
    EXPECT_FALSE(other.written);
    EXPECT_EQ(other.error, "");
    EXPECT_EQ(LeftOver(), std::vector<std::string>{"mix.m3u"});
}

TEST_F(PlayListFolder, EmptyTitlesAreFilledFromId3v1Tags) {
    const auto tagged = [](const std::string& title) {
        std::string tag = "TAG" + title;
        tag.resize(128, '\0');
        return std::string(500, 'x') + tag;
    };
    // Padded with spaces and zeros, in Latin-1.
    tev::test::WriteFile(dir / "a.mp3", tagged(std::string("Caf\xE9 del Mar  \0\0 ", 17)));
    tev::test::WriteFile(dir / "b.mp3", tagged("Tagged"));
    tev::test::WriteFile(dir / "c.mp3", tagged("Tagged").substr(500));  // only a tag: too short
    tev::test::WriteFile(dir / "d.mp3", std::string(500, 'x') + "TAX" + std::string(125, 'y'));
    tev::test::WriteFile(dir / "e.mp3", tagged(std::string(30, 'L') + "comment"));
    std::vector<PlayListEntry> tracks;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"}) {
        tracks.push_back(E((dir / name).string()));
    }
    tracks[1].title = "Kept";
    const auto saved = tev::SavePlayList((dir / "t.pls").string(), tracks);
    ASSERT_TRUE(saved.written);
    const std::vector<std::string> titles = {"Caf\xC3\xA9 del Mar", "Kept", "", "",
                                             std::string(30, 'L')};
    for (size_t i = 0; i < titles.size(); ++i) {
        EXPECT_EQ(tracks[i].title, titles[i]) << i;
    }
    EXPECT_EQ(tev::LoadPlayList(saved.path).entries, tracks);
}

TEST_F(PlayListFolder, HostileListsGiveClearResults) {
    const int server = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(server, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(server, 4), 0);
    ASSERT_EQ(getsockname(server, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const std::string port = std::to_string(ntohs(address.sin_port));
    const std::string longName(100000, 'n');
    const std::string list = (dir / "Hostile.M3U").string();
    tev::test::WriteFile(list,
                         "#EXTM3U\nhttp://127.0.0.1:" + port + "/x.mp3\ntcp://127.0.0.1:" + port +
                             "\npipe:0\nudp://127.0.0.1:" + port + "\nHostile.M3U\n" + longName);

    const auto start = std::chrono::steady_clock::now();
    const tev::PlayListLoadResult loaded = tev::LoadPlayList(list);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.entries,
              (std::vector<PlayListEntry>{Url("http://127.0.0.1:" + port + "/x.mp3"),
                                          Url("tcp://127.0.0.1:" + port), Url("pipe:0"),
                                          Url("udp://127.0.0.1:" + port), E(list, "", -1, true),
                                          E((dir / longName).string())}));
    pollfd waiting{server, POLLIN, 0};
    EXPECT_EQ(poll(&waiting, 1, 0), 0) << "a list entry connected";
    close(server);
}

TEST_F(PlayListFolder, OnlyRegularFilesOfBoundedSizeAreRead) {
    tev::test::WriteFile(dir / "empty.m3u", "");
    const auto empty = tev::LoadPlayList((dir / "empty.m3u").string());
    EXPECT_EQ(empty.error, "");
    EXPECT_TRUE(empty.entries.empty());

    // Each of these would hang or run without end if it were opened for reading as a file.
    ASSERT_EQ(mkfifo((dir / "fifo.m3u").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero.pls");
    fs::create_directory(dir / "folder.m3u");
    { std::ofstream(dir / "huge.m3u"); }
    fs::resize_file(dir / "huge.m3u", tev::kMaxPlayListBytes + 1);
    for (const char* name : {"fifo.m3u", "zero.pls", "folder.m3u", "huge.m3u", "missing.m3u"}) {
        const auto loaded = tev::LoadPlayList((dir / name).string());
        EXPECT_NE(loaded.error, "") << name;
        EXPECT_TRUE(loaded.entries.empty()) << name;
    }
    EXPECT_NE(tev::LoadPlayList((dir / "sheet.cue").string()).error, "");
}

TEST_F(PlayListFolder, BinaryJunkGivesOnlyNamesFromIt) {
    std::mt19937 random(7);
    std::string junk(1 << 20, '\0');
    for (char& c : junk) {
        c = static_cast<char>(random());
    }
    for (const char* name : {"junk.m3u", "junk.pls"}) {
        tev::test::WriteFile(dir / name,
                             (name[5] == 'p' ? "[playlist]\nFile1=ok.mp3\n" : "ok.mp3\n") + junk);
        const auto loaded = tev::LoadPlayList((dir / name).string());
        EXPECT_EQ(loaded.error, "");
        EXPECT_FALSE(loaded.entries.empty()) << name;
        for (const PlayListEntry& entry : loaded.entries) {
            EXPECT_EQ(entry.path.find('\0'), std::string::npos);
            EXPECT_TRUE(entry.neverOpen || entry.path[0] == '/') << entry.path;
        }
    }
}

TEST_F(PlayListFolder, AFailedSaveKeepsTheOldList) {
    const fs::path list = dir / "old.m3u";
    tev::test::WriteFile(list, "#EXTM3U\nold.mp3\n");
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const auto save = [&] {
        std::vector<PlayListEntry> tracks(2000, E("/m/new.mp3", "New"));
        const auto saved = tev::SavePlayList(list.string(), tracks);
        return !saved.written && !saved.error.empty() ? 0 : 1;
    };
    // A folder the user may not write to.
    fs::permissions(dir, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(InChild(save), 0);
    // A disk that fills up in the middle of the list.
    fs::permissions(dir, fs::perms::owner_write | fs::perms::others_all, fs::perm_options::add);
    EXPECT_EQ(InChild([&] {
                  signal(SIGXFSZ, SIG_IGN);
                  const rlimit small{100, 100};
                  setrlimit(RLIMIT_FSIZE, &small);
                  return save();
              }),
              0);
    EXPECT_EQ(tev::test::ReadFile(list), "#EXTM3U\nold.mp3\n");
    EXPECT_EQ(LeftOver(), std::vector<std::string>{"old.m3u"});
}

}  // namespace
