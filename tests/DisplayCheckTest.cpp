#include "platform/DisplayCheck.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

std::string Check(const std::map<std::string, std::string>& env) {
    return tev::MissingDisplayMessage([&env](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    });
}

}  // namespace

TEST(DisplayCheck, ALocalDisplayWithoutItsServerIsReported) {
    const std::string message = Check({{"DISPLAY", ":9173"}});
    EXPECT_NE(message.find(":9173"), std::string::npos);
}

TEST(DisplayCheck, WaylandARemoteDisplayOrAChosenPlatformAreLeftToTheToolkit) {
    EXPECT_TRUE(Check({{"WAYLAND_DISPLAY", "wayland-0"}}).empty());
    EXPECT_TRUE(Check({{"DISPLAY", "studio-pc:0"}}).empty());
    EXPECT_TRUE(Check({{"QT_QPA_PLATFORM", "offscreen"}}).empty());
}

namespace {

bool XWayland(const std::map<std::string, std::string>& env,
              const std::vector<std::string>& arguments = {}) {
    return tev::ShouldUseXWayland(
        [&env](const char* name) -> const char* {
            const auto it = env.find(name);
            return it == env.end() ? nullptr : it->second.c_str();
        },
        arguments);
}

}  // namespace

TEST(DisplayCheck, WaylandRunsThroughXWaylandUnlessAPlatformWasChosen) {
    const std::map<std::string, std::string> desktop = {{"WAYLAND_DISPLAY", "wayland-0"},
                                                        {"DISPLAY", ":0"}};
    EXPECT_TRUE(XWayland(desktop));
    EXPECT_TRUE(XWayland({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}}));
    EXPECT_FALSE(XWayland({{"DISPLAY", ":0"}})) << "plain X11";
    EXPECT_FALSE(XWayland({{"WAYLAND_DISPLAY", "wayland-0"}})) << "no X server to run through";
    auto chosen = desktop;
    chosen["QT_QPA_PLATFORM"] = "wayland";
    EXPECT_FALSE(XWayland(chosen));
    EXPECT_FALSE(XWayland(desktop, {"song.mp3", "-platform", "wayland"}));
    EXPECT_TRUE(XWayland(desktop, {"my-platform.mp3"}));
}
