#include "platform/KeyboardDevice.h"

#include <gtest/gtest.h>

using tev::KeyboardDevice;

TEST(KeyboardDevice, PollReportsDownKeysInTableOrderNotPressOrder) {
    KeyboardDevice keyboard;
    keyboard.SetKeyState(0xC8, true);  // up arrow, last in the table
    keyboard.SetKeyState(0x0B, true);  // 0 of the main block
    keyboard.SetKeyState(0x02, true);  // 1
    keyboard.SetKeyState(0x2A, true);  // left shift: a modifier, not polled
    EXPECT_EQ(keyboard.PollKeys(), std::string("10&"));
    keyboard.SetKeyState(0x0B, false);
    EXPECT_EQ(keyboard.PollKeys(), std::string("1&"));
}

TEST(KeyboardDevice, ModifiersOnEitherSide) {
    KeyboardDevice keyboard;
    EXPECT_FALSE(keyboard.IsShiftDown());
    keyboard.SetKeyState(0x36, true);
    EXPECT_TRUE(keyboard.IsShiftDown());
    keyboard.SetKeyState(0x9D, true);
    EXPECT_TRUE(keyboard.IsCtrlDown());
    keyboard.ReleaseAll();
    EXPECT_FALSE(keyboard.IsShiftDown());
    EXPECT_FALSE(keyboard.IsCtrlDown());
    EXPECT_TRUE(keyboard.PollKeys().empty());
}
