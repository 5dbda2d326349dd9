#pragma once

#include <cstdint>
#include <string>

namespace tev {

// A volume control of the sound card's own mixer (the ALSA simple mixer): the speakers line
// ("Master") or the wave-output line ("PCM") of an output's card. Unbound, or on a failed
// write, it does nothing; a failed read reports 100 %. [UI thread]
class MixerLineControl {
  public:
    MixerLineControl() = default;
    ~MixerLineControl();
    MixerLineControl(const MixerLineControl&) = delete;
    MixerLineControl& operator=(const MixerLineControl&) = delete;

    // The ALSA mixer device that belongs to a sound device's name: "hw:N" for a card named with
    // "(hw:N,M)", otherwise "default" (which a sound server maps to its own volume).
    static std::string MixerForDevice(const std::string& deviceName);

    // Binds to a playback volume element of a mixer device; false when there is none.
    bool Bind(const std::string& mixerDevice, const std::string& element);
    void Unbind();
    bool IsBound() const { return mixer_ != nullptr; }

    // One value for every channel: minimum + (maximum - minimum) * percent / 100.
    void Set(uint32_t percent);
    // Left and right separately.
    void SetStereo(uint32_t leftPercent, uint32_t rightPercent);
    // The left (or only) channel in percent, rounded; 100 when it cannot be read.
    uint32_t Get();

    long minimum() const { return minimum_; }
    long maximum() const { return maximum_; }

    // The arithmetic of the control, for bounds minimum ... maximum.
    static long ValueFor(long minimum, long maximum, uint32_t percent);
    static uint32_t PercentOf(long minimum, long maximum, long value);

  private:
    void* mixer_ = nullptr;    // snd_mixer_t
    void* element_ = nullptr;  // snd_mixer_elem_t
    long minimum_ = 0;
    long maximum_ = 0;
};

}  // namespace tev
