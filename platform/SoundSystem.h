#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/SoundCard.h"

namespace tev {

// An output device the system offers.
struct SoundDeviceInfo {
    std::string name;  // the device's own name: stable across restarts, unlike its index
    int maxChannels = 0;
    bool canSplit = false;  // takes four channels: its front and rear pairs can be two outputs
};

// The sound cards of the machine, through PortAudio. Starting it quietens ALSA's and JACK's
// own reports on standard error (a machine without a card or a server prints dozens of lines);
// problems are reported in our words through LastError. [UI thread]
class SoundSystem {
  public:
    static SoundSystem& Instance();

    // False when the sound library could not start at all; the program then runs silent.
    bool Started() const { return started_; }
    // Output devices with at least two channels, in the system's order.
    std::vector<SoundDeviceInfo> Devices();
    // Opens a device by name with four channels (when asked and accepted) or two, at 44,100 Hz
    // or else the device's own rate, buffering latency() seconds. An open card is shared: the
    // front and the rear pair of a split card are one stream. nullptr when the device is
    // missing or refuses; see LastError.
    std::shared_ptr<SoundCard> OpenCard(const std::string& name, bool fourChannels);

    // The output latencies offered, in milliseconds: shorter answers the hands sooner, longer
    // survives a busy machine.
    static constexpr int kLatencyChoicesMs[] = {10, 20, 40, 80, 160};
    static constexpr int kDefaultLatencyMs = 80;
    // For the cards opened from now on; a value not offered takes the nearest one that is.
    void SetLatencyMs(int ms);
    int latencyMs() const { return latencyMs_; }
    static int NearestLatencyChoice(int ms);
    const std::string& LastError() const { return lastError_; }

  private:
    SoundSystem();
    ~SoundSystem();

    bool started_ = false;
    int latencyMs_ = kDefaultLatencyMs;
    std::string lastError_;
    std::map<std::string, std::weak_ptr<SoundCard>> open_;
};

// The sound library's name and version, as the about box lists it.
std::string SoundLibraryVersion();

}  // namespace tev
