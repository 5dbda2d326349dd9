#include "core/SoundDeviceList.h"

#include <gtest/gtest.h>

using namespace tev;
using List = SoundDeviceList;

namespace {

std::vector<SoundDeviceInfo> Devices() {
    return {{"HDA Intel PCH: ALC892 Analog (hw:0,0)", 8, true},
            {"USB Audio CODEC (hw:1,0)", 2, false},
            {"pulse", 32, true}};
}

}  // namespace

struct FirstStart {
    std::vector<SoundDeviceInfo> devices;
    int main;
    int monitor;
};

class FirstStartChoice : public ::testing::TestWithParam<FirstStart> {};

// Without a stored choice the main output takes the first device and the monitor the second,
// unless both would play through the same speakers: one sound server under two names, or two
// devices of one card. The DJ then splits a card or picks one in the dialog.
TEST_P(FirstStartChoice, NeverSendsTheMonitorWhereTheAudienceHearsIt) {
    List list;
    list.Build(GetParam().devices);
    list.Restore("", "");
    EXPECT_EQ(list.selected(List::kMain), GetParam().main);
    EXPECT_EQ(list.selected(List::kMonitor), GetParam().monitor);
}

INSTANTIATE_TEST_SUITE_P(
    Machines, FirstStartChoice,
    ::testing::Values(FirstStart{Devices(), 1, 2},
                      FirstStart{{{"pulse", 32, true}, {"default", 32, true}}, 1, 0},
                      FirstStart{{{"default", 2, false}, {"pipewire", 2, false}}, 1, 0},
                      FirstStart{{{"Quad (hw:2,0)", 4, true}, {"Quad (hw:2,1)", 2, false}}, 1, 0},
                      FirstStart{{{"Quad (hw:2,0)", 4, true}, {"USB (hw:3,0)", 2, false}}, 1, 2}));

TEST(SoundDeviceList, ADisabledOutputIsRestoredDisabled) {
    List list;
    list.Build(Devices());
    list.Restore("USB Audio CODEC (hw:1,0) (Can't Split)", List::kDisabled);
    EXPECT_EQ(list.selected(List::kMain), 2);
    EXPECT_EQ(list.selected(List::kMonitor), 0);
    list.Restore(List::kDisabled, "pulse (Can Split)");
    EXPECT_EQ(list.selected(List::kMain), 0);
    EXPECT_EQ(list.selected(List::kMonitor), 3);
}

TEST(SoundDeviceList, WithoutASoundCardBothOutputsAreDisabled) {
    List list;
    list.Build({});
    list.Restore("pulse (Can Split)", "something");
    EXPECT_EQ(list.entries(List::kMain).size(), 1U);
    EXPECT_EQ(list.selected(List::kMain), 0);
    EXPECT_EQ(list.selected(List::kMonitor), 0);
    List one;
    one.Build({{"pulse", 2, false}});
    one.Restore("", "");
    EXPECT_EQ(one.selected(List::kMain), 1);
    EXPECT_EQ(one.selected(List::kMonitor), 0) << "never both on the same device";
}

TEST(SoundDeviceList, TakingTheOtherListsEntryMovesThatListAway) {
    List list;
    list.Build(Devices());
    list.Select(List::kMain, 3);  // pulse
    list.Split(List::kMain);      // main: pulse (Front) at 3, monitor: pulse (Rear) at 4
    list.Select(List::kMonitor, 3);
    EXPECT_EQ(list.selectedEntry(List::kMain).text, "pulse (Rear)") << "front taken: to the rear";
    list.Select(List::kMonitor, 4);
    EXPECT_EQ(list.selectedEntry(List::kMain).text, "pulse (Front)") << "rear taken: to the front";
    list.Select(List::kMain, 2);
    list.Select(List::kMonitor, 2);
    EXPECT_EQ(list.selected(List::kMain), 0) << "a whole card taken: disabled";
    list.Select(List::kMonitor, 0);
    list.Select(List::kMain, 0);
    EXPECT_EQ(list.selected(List::kMonitor), 0) << "two disabled outputs are no conflict";
}

TEST(SoundDeviceList, JoiningSetsTheOtherListToDisabled) {
    List list;
    list.Build(Devices());
    list.Select(List::kMain, 1);
    list.Split(List::kMain);
    ASSERT_TRUE(list.CanJoin(List::kMonitor));
    list.Join(List::kMonitor);
    EXPECT_EQ(list.selectedEntry(List::kMonitor).text,
              "HDA Intel PCH: ALC892 Analog (hw:0,0) (Can Split)");
    EXPECT_EQ(list.selected(List::kMain), 0);
    EXPECT_EQ(list.entries(List::kMain).size(), 4U);
    EXPECT_EQ(list.entries(List::kMonitor).size(), 4U);
}

TEST(SoundDeviceList, DescriptionsAndPairsFromEntryTexts) {
    EXPECT_EQ(List::Description("pulse (Can't Split)"), "pulse");
    EXPECT_EQ(List::Description("Card (Rear)"), "Card");
    EXPECT_EQ(List::Description("Card (hw:0,0)"), "Card (hw:0,0)");
    EXPECT_EQ(List::PairOf("Card (Front)"), 0);
    EXPECT_EQ(List::PairOf("Card (Rear)"), 1);
    EXPECT_EQ(List::PairOf("Card (Can Split)"), -1);
}
