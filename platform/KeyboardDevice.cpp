#include "platform/KeyboardDevice.h"

namespace tev {
namespace {

struct PollEntry {
    uint8_t scanCode;
    char character;
};

// The keys the poll reports, in the order they are tested. The navigation keys report the
// virtual-key codes of those keys (Page Up 0x21 ... Down 0x28).
constexpr PollEntry kPollTable[] = {
    {0x02, '1'},  {0x03, '2'},  {0x04, '3'},  {0x05, '4'},  {0x06, '5'},  {0x07, '6'},
    {0x08, '7'},  {0x09, '8'},  {0x0A, '9'},  {0x0B, '0'},  {0x10, 'Q'},  {0x11, 'W'},
    {0x12, 'E'},  {0x13, 'R'},  {0x14, 'T'},  {0x15, 'Y'},  {0x16, 'U'},  {0x17, 'I'},
    {0x18, 'O'},  {0x19, 'P'},  {0x1E, 'A'},  {0x1F, 'S'},  {0x20, 'D'},  {0x21, 'F'},
    {0x22, 'G'},  {0x23, 'H'},  {0x24, 'J'},  {0x25, 'K'},  {0x26, 'L'},  {0x27, ';'},
    {0x2C, 'Z'},  {0x2D, 'X'},  {0x2E, 'C'},  {0x2F, 'V'},  {0x30, 'B'},  {0x31, 'N'},
    {0x32, 'M'},  {0x33, ','},  {0x34, '.'},  {0xB5, '/'},  {0x39, ' '},  {0xD1, 0x22},
    {0xC9, 0x21}, {0xC7, 0x24}, {0xCF, 0x23}, {0xD0, 0x28}, {0xCB, 0x25}, {0xCD, 0x27},
    {0xC8, 0x26},
};

}  // namespace

void KeyboardDevice::SetKeyState(uint8_t scanCode, bool down) noexcept {
    state_[scanCode].store(down ? 0x80 : 0, std::memory_order_relaxed);
}

void KeyboardDevice::ReleaseAll() noexcept {
    for (auto& key : state_) {
        key.store(0, std::memory_order_relaxed);
    }
}

bool KeyboardDevice::IsDown(uint8_t scanCode) const noexcept {
    return state_[scanCode].load(std::memory_order_relaxed) != 0;
}

char KeyboardDevice::CharacterOf(uint8_t scanCode) noexcept {
    for (const PollEntry& entry : kPollTable) {
        if (entry.scanCode == scanCode) {
            return entry.character;
        }
    }
    return 0;
}

uint8_t KeyboardDevice::ScanCodeOf(char character) noexcept {
    for (const PollEntry& entry : kPollTable) {
        if (entry.character == character) {
            return entry.scanCode;
        }
    }
    return 0;
}

std::string KeyboardDevice::PollKeys() const {
    std::string keys;
    for (const PollEntry& entry : kPollTable) {
        if (IsDown(entry.scanCode)) {
            keys.push_back(entry.character);
        }
    }
    return keys;
}

bool KeyboardDevice::IsShiftDown() const noexcept {
    return IsDown(kLeftShift) || IsDown(kRightShift);
}

bool KeyboardDevice::IsCtrlDown() const noexcept {
    return IsDown(kLeftCtrl) || IsDown(kRightCtrl);
}

KeyboardDevice& Keyboard() {
    static KeyboardDevice keyboard;
    return keyboard;
}

}  // namespace tev
