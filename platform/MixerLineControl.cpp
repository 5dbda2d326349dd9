#include "platform/MixerLineControl.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdlib>

namespace tev {
namespace {

snd_mixer_t* Mixer(void* p) {
    return static_cast<snd_mixer_t*>(p);
}
snd_mixer_elem_t* Element(void* p) {
    return static_cast<snd_mixer_elem_t*>(p);
}

}  // namespace

MixerLineControl::~MixerLineControl() {
    Unbind();
}

std::string MixerLineControl::MixerForDevice(const std::string& deviceName) {
    const size_t at = deviceName.rfind("(hw:");
    if (at != std::string::npos) {
        const size_t comma = deviceName.find_first_of(",)", at);
        if (comma != std::string::npos && comma > at + 4) {
            return "hw:" + deviceName.substr(at + 4, comma - at - 4);
        }
    }
    return "default";
}

bool MixerLineControl::Bind(const std::string& mixerDevice, const std::string& element) {
    Unbind();
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0) {
        return false;
    }
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, element.c_str());
    snd_mixer_elem_t* found = nullptr;
    if (snd_mixer_attach(mixer, mixerDevice.c_str()) >= 0 &&
        snd_mixer_selem_register(mixer, nullptr, nullptr) >= 0 && snd_mixer_load(mixer) >= 0) {
        found = snd_mixer_find_selem(mixer, id);
    }
    long low = 0;
    long high = 0;
    if (found == nullptr || !snd_mixer_selem_has_playback_volume(found) ||
        snd_mixer_selem_get_playback_volume_range(found, &low, &high) < 0 || high <= low) {
        snd_mixer_close(mixer);
        return false;
    }
    mixer_ = mixer;
    element_ = found;
    minimum_ = low;
    maximum_ = high;
    return true;
}

void MixerLineControl::Unbind() {
    if (mixer_ != nullptr) {
        snd_mixer_close(Mixer(mixer_));
    }
    mixer_ = nullptr;
    element_ = nullptr;
    minimum_ = 0;
    maximum_ = 0;
}

long MixerLineControl::ValueFor(long minimum, long maximum, uint32_t percent) {
    percent = std::min<uint32_t>(percent, 100);
    return minimum + (maximum - minimum) * static_cast<long>(percent) / 100;
}

uint32_t MixerLineControl::PercentOf(long minimum, long maximum, long value) {
    if (maximum <= minimum) {
        return 100;
    }
    const double percent =
        static_cast<double>(value - minimum) * 100.0 / static_cast<double>(maximum - minimum);
    return static_cast<uint32_t>(std::clamp(percent + 0.5, 0.0, 100.0));
}

void MixerLineControl::Set(uint32_t percent) {
    if (element_ != nullptr) {
        snd_mixer_selem_set_playback_volume_all(Element(element_),
                                                ValueFor(minimum_, maximum_, percent));
    }
}

void MixerLineControl::SetStereo(uint32_t leftPercent, uint32_t rightPercent) {
    if (element_ == nullptr) {
        return;
    }
    snd_mixer_elem_t* e = Element(element_);
    if (snd_mixer_selem_is_playback_mono(e)) {
        snd_mixer_selem_set_playback_volume_all(
            e, ValueFor(minimum_, maximum_, std::max(leftPercent, rightPercent)));
        return;
    }
    snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT,
                                        ValueFor(minimum_, maximum_, leftPercent));
    snd_mixer_selem_set_playback_volume(e, SND_MIXER_SCHN_FRONT_RIGHT,
                                        ValueFor(minimum_, maximum_, rightPercent));
}

uint32_t MixerLineControl::Get() {
    if (element_ == nullptr) {
        return 100;
    }
    snd_mixer_handle_events(Mixer(mixer_));  // take in changes made by others
    long value = 0;
    if (snd_mixer_selem_get_playback_volume(Element(element_), SND_MIXER_SCHN_FRONT_LEFT, &value) <
        0) {
        return 100;
    }
    return PercentOf(minimum_, maximum_, value);
}

}  // namespace tev
