#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/SoundSystem.h"

namespace tev {

// The two device lists of the options dialog, main and monitor, without the widgets: which
// devices there are, which cards are split into front and rear pairs, and the rules that keep
// the two outputs on different entries.
//
// An entry is a text and the identity of its device (the device's name, which survives a
// restart) or none. Entry 0 of each list is "No Sound Device Selected (Disabled)".
class SoundDeviceList {
  public:
    static constexpr int kMaxDevices = 20;
    static constexpr const char* kDisabled = "No Sound Device Selected (Disabled)";

    struct Entry {
        std::string text;
        std::optional<std::string> device;
    };
    enum Which { kMain = 0, kMonitor = 1 };

    // Rebuilds both lists from the devices present (at most 20), each marked as splittable or
    // not; selects entry 0 in both.
    void Build(const std::vector<SoundDeviceInfo>& devices);
    // Restores the stored choices: a stored "(Front)" or "(Rear)" entry splits its card again,
    // and a stored kDisabled stays disabled. Without a match the main output takes the first
    // device and the monitor the second, unless that is the same output as the main one.
    void Restore(const std::string& storedMain, const std::string& storedMonitor);

    // Splits the card selected in list `which` into its front and rear pairs and selects the
    // front one; the other list splits the same card and selects its rear pair.
    void Split(Which which);
    // Joins the split card selected in list `which` back into one entry and selects it; the
    // other list joins it too and selects entry 0.
    void Join(Which which);
    // Selects entry `index` of list `which`; the other list moves off that entry if it had it.
    void Select(Which which, int index);

    const std::vector<Entry>& entries(Which which) const { return lists_[which]; }
    int selected(Which which) const { return selected_[which]; }
    const Entry& selectedEntry(Which which) const { return lists_[which][selected_[which]]; }
    bool CanSplit(Which which) const;
    bool CanJoin(Which which) const;

    // The text of an entry without its suffix.
    static std::string Description(const std::string& text);
    // Whether the entry names the front pair (0), the rear pair (1) or a whole card (-1).
    static int PairOf(const std::string& text);
    // Whether two entries end up in the same speakers: one sound server under two names, or
    // two devices of one card.
    static bool SameOutput(const std::string& a, const std::string& b);

  private:
    int Find(Which which, const std::string& text) const;
    bool SplitAt(Which which, int index);
    bool JoinAt(Which which, int index);

    std::vector<Entry> lists_[2];
    int selected_[2] = {0, 0};
};

}  // namespace tev
