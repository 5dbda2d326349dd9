#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace tev {

// The polled keyboard: a table of 256 key states in keyboard scan-code order (the classic PC set
// 1 codes, with 0x80 added for the extended keys), fed by the application's key events and read
// every 15 ms by the keyboard poll thread.
class KeyboardDevice {
  public:
    static constexpr uint8_t kLeftShift = 0x2A, kRightShift = 0x36, kLeftCtrl = 0x1D,
                             kRightCtrl = 0x9D;

    KeyboardDevice() = default;
    KeyboardDevice(const KeyboardDevice&) = delete;
    KeyboardDevice& operator=(const KeyboardDevice&) = delete;

    // [UI thread] Records a key going down or up.
    void SetKeyState(uint8_t scanCode, bool down) noexcept;
    // [UI thread] Every key up, for example when the application loses the focus.
    void ReleaseAll() noexcept;

    // [any thread] One character for each key of the poll table that is down, in table order.
    std::string PollKeys() const;
    // [any thread]
    bool IsShiftDown() const noexcept;
    bool IsCtrlDown() const noexcept;
    bool IsDown(uint8_t scanCode) const noexcept;

    // The character the poll reports for a key; 0 for a key outside the poll table.
    static char CharacterOf(uint8_t scanCode) noexcept;
    // The key the poll reports as a character; 0 for none.
    static uint8_t ScanCodeOf(char character) noexcept;

  private:
    std::array<std::atomic<uint8_t>, 256> state_{};
};

// The one keyboard of the process, polled by the keyboard poll thread.
KeyboardDevice& Keyboard();

}  // namespace tev
