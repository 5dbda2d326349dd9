#include "core/SoundDeviceList.h"

#include <cstdlib>

namespace tev {
namespace {

constexpr const char* kCanSplit = " (Can Split)";
constexpr const char* kCannotSplit = " (Can't Split)";
constexpr const char* kFront = " (Front)";
constexpr const char* kRear = " (Rear)";

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::string SoundDeviceList::Description(const std::string& text) {
    for (const char* suffix : {kCanSplit, kCannotSplit, kFront, kRear}) {
        if (EndsWith(text, suffix)) {
            return text.substr(0, text.size() - std::string(suffix).size());
        }
    }
    return text;
}

int SoundDeviceList::PairOf(const std::string& text) {
    if (EndsWith(text, kFront)) {
        return 0;
    }
    if (EndsWith(text, kRear)) {
        return 1;
    }
    return -1;
}

void SoundDeviceList::Build(const std::vector<SoundDeviceInfo>& devices) {
    std::vector<Entry> list = {{kDisabled, std::nullopt}};
    for (const SoundDeviceInfo& device : devices) {
        if (static_cast<int>(list.size()) > kMaxDevices) {
            break;
        }
        list.push_back({device.name + (device.canSplit ? kCanSplit : kCannotSplit), device.name});
    }
    lists_[kMain] = list;
    lists_[kMonitor] = list;
    selected_[kMain] = 0;
    selected_[kMonitor] = 0;
}

int SoundDeviceList::Find(Which which, const std::string& text) const {
    const std::vector<Entry>& list = lists_[which];
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].text == text) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool SoundDeviceList::SplitAt(Which which, int index) {
    std::vector<Entry>& list = lists_[which];
    if (index <= 0 || index >= static_cast<int>(list.size()) ||
        !EndsWith(list[static_cast<size_t>(index)].text, kCanSplit)) {
        return false;
    }
    const Entry whole = list[static_cast<size_t>(index)];
    const std::string description = Description(whole.text);
    list[static_cast<size_t>(index)] = {description + kFront, whole.device};
    list.insert(list.begin() + index + 1, Entry{description + kRear, whole.device});
    if (selected_[which] > index) {
        ++selected_[which];
    }
    return true;
}

bool SoundDeviceList::JoinAt(Which which, int index) {
    std::vector<Entry>& list = lists_[which];
    if (index <= 0 || index >= static_cast<int>(list.size())) {
        return false;
    }
    const int front = PairOf(list[static_cast<size_t>(index)].text) == 1 ? index - 1 : index;
    if (front <= 0 || front + 1 >= static_cast<int>(list.size()) ||
        PairOf(list[static_cast<size_t>(front)].text) != 0 ||
        PairOf(list[static_cast<size_t>(front) + 1].text) != 1) {
        return false;
    }
    const Entry pair = list[static_cast<size_t>(front)];
    list[static_cast<size_t>(front)] = {Description(pair.text) + kCanSplit, pair.device};
    list.erase(list.begin() + front + 1);
    if (selected_[which] > front) {
        --selected_[which];
    }
    return true;
}

void SoundDeviceList::Split(Which which) {
    const Which other = which == kMain ? kMonitor : kMain;
    const std::string text = selectedEntry(which).text;
    if (!SplitAt(which, selected_[which])) {
        return;
    }
    // The split entry itself became the front pair.
    const int inOther = Find(other, text);
    if (SplitAt(other, inOther)) {
        selected_[other] = inOther + 1;
    }
}

void SoundDeviceList::Join(Which which) {
    const Which other = which == kMain ? kMonitor : kMain;
    const std::string description = Description(selectedEntry(which).text);
    if (!JoinAt(which, selected_[which])) {
        return;
    }
    selected_[which] = Find(which, description + kCanSplit);
    const int inOther = Find(other, description + kFront);
    if (JoinAt(other, inOther)) {
        selected_[other] = 0;
    }
}

void SoundDeviceList::Select(Which which, int index) {
    if (index < 0 || index >= static_cast<int>(lists_[which].size())) {
        return;
    }
    selected_[which] = index;
    const Which other = which == kMain ? kMonitor : kMain;
    const std::string& text = lists_[which][static_cast<size_t>(index)].text;
    if (index == 0 || selectedEntry(other).text != text) {
        return;
    }
    // Two outputs never share an entry: the other list moves to the other half of a split
    // card, or to entry 0.
    switch (PairOf(text)) {
        case 0:
            selected_[other] = selected_[other] + 1;
            break;
        case 1:
            selected_[other] = selected_[other] - 1;
            break;
        default:
            selected_[other] = 0;
    }
}

bool SoundDeviceList::SameOutput(const std::string& a, const std::string& b) {
    // Names under which a sound server (or ALSA's routing to it) plays.
    const auto server = [](const std::string& text) {
        const std::string name = Description(text);
        for (const char* known : {"default", "pulse", "pipewire", "sysdefault", "jack"}) {
            if (name == known) {
                return true;
            }
        }
        return false;
    };
    // The card number of an ALSA device such as "... (hw:1,0)"; -1 without one.
    const auto card = [](const std::string& text) {
        const size_t at = text.find("(hw:");
        return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + 4);
    };
    if (server(a) && server(b)) {
        return true;
    }
    return card(a) >= 0 && card(a) == card(b);
}

void SoundDeviceList::Restore(const std::string& storedMain, const std::string& storedMonitor) {
    const std::pair<Which, const std::string*> stored[] = {{kMain, &storedMain},
                                                           {kMonitor, &storedMonitor}};
    for (const auto& [which, text] : stored) {
        const std::string wanted = Description(*text);
        int found = *text == kDisabled ? 0 : -1;
        const std::vector<Entry>& list = lists_[which];
        for (size_t i = 1; i < list.size() && !text->empty() && found < 0; ++i) {
            if (Description(list[i].text) == wanted) {
                found = static_cast<int>(i);
            }
        }
        if (found < 0) {
            const int fallback = which == kMain ? 1 : 2;
            selected_[which] = static_cast<int>(list.size()) > fallback ? fallback : 0;
            // One sound server or one card for both: the audience would hear the headphone mix
            // too. The monitor stays off until the DJ splits a card or picks another one.
            if (which == kMonitor && selected_[kMonitor] != 0 &&
                SameOutput(selectedEntry(kMain).text, selectedEntry(kMonitor).text)) {
                selected_[kMonitor] = 0;
            }
            continue;
        }
        if (found == 0) {
            selected_[which] = 0;
            continue;
        }
        selected_[which] = found;
        const int pair = PairOf(*text);
        if (pair >= 0) {
            if (PairOf(list[static_cast<size_t>(found)].text) < 0) {
                Split(which);  // selects the front pair here and the rear pair in the other list
            }
            const int front = Find(which, wanted + kFront);
            selected_[which] = front + pair;
        }
    }
    // The defaults may land both outputs on one entry: the main output keeps it.
    Select(kMain, selected_[kMain]);
}

bool SoundDeviceList::CanSplit(Which which) const {
    return EndsWith(selectedEntry(which).text, kCanSplit);
}

bool SoundDeviceList::CanJoin(Which which) const {
    return PairOf(selectedEntry(which).text) >= 0;
}

}  // namespace tev
