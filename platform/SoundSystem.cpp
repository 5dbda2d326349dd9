#include "platform/SoundSystem.h"

#include "platform/MixerLineControl.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <cstdarg>

namespace tev {
namespace {

constexpr double kPreferredRate = 44100.0;
// Ask for about 10 ms of latency; the host may give more.
constexpr double kSuggestedLatency = 0.010;

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void QuietJack(const char*) {}

// A card whose stream PortAudio runs: its callback renders every block.
class PortAudioCard final : public SoundCard {
  public:
    PortAudioCard(const std::string& name, int channels, uint32_t rate)
        : SoundCard(name, channels, rate, MixerLineControl::MixerForDevice(name)) {}

    ~PortAudioCard() override {
        if (stream_ != nullptr) {
            Pa_StopStream(stream_);
            Pa_CloseStream(stream_);
        }
    }

    PaError Start(PaDeviceIndex device) {
        PaStreamParameters out{};
        out.device = device;
        out.channelCount = channels();
        out.sampleFormat = paFloat32;
        out.suggestedLatency = kSuggestedLatency;
        PaError err = Pa_OpenStream(&stream_, nullptr, &out, sampleRate(),
                                    paFramesPerBufferUnspecified, paClipOff, &Callback, this);
        if (err != paNoError) {
            stream_ = nullptr;
            return err;
        }
        Pa_SetStreamFinishedCallback(stream_, &Finished);
        err = Pa_StartStream(stream_);
        if (err != paNoError) {
            Pa_CloseStream(stream_);
            stream_ = nullptr;
        }
        return err;
    }

    double OutputLatency() const override {
        const PaStreamInfo* info = stream_ != nullptr ? Pa_GetStreamInfo(stream_) : nullptr;
        return info != nullptr ? info->outputLatency : 0.0;
    }

  private:
    static int Callback(const void*, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* user) {
        auto* card = static_cast<PortAudioCard*>(user);
        card->RenderBlock(static_cast<float*>(output), static_cast<int>(frames));
        return paContinue;
    }
    // The stream ended without being asked to: the device went away.
    static void Finished(void* user) { static_cast<PortAudioCard*>(user)->MarkLost(); }

    PaStream* stream_ = nullptr;
};

bool TakesFormat(PaDeviceIndex device, int channels, double rate) {
    PaStreamParameters out{};
    out.device = device;
    out.channelCount = channels;
    out.sampleFormat = paFloat32;
    out.suggestedLatency = kSuggestedLatency;
    return Pa_IsFormatSupported(nullptr, &out, rate) == paFormatIsSupported;
}

bool Listed(const PaDeviceInfo* info) {
    if (info == nullptr || info->maxOutputChannels < 2) {
        return false;
    }
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    // The OSS emulation duplicates the ALSA devices under other names.
    return api != nullptr && api->type != paOSS;
}

}  // namespace

SoundSystem& SoundSystem::Instance() {
    static SoundSystem system;
    return system;
}

SoundSystem::SoundSystem() {
    snd_lib_error_set_handler(&QuietAlsa);
    jack_set_error_function(&QuietJack);
    jack_set_info_function(&QuietJack);
    const PaError err = Pa_Initialize();
    started_ = err == paNoError;
    if (!started_) {
        lastError_ = std::string("the sound system did not start: ") + Pa_GetErrorText(err);
    }
}

SoundSystem::~SoundSystem() {
    if (started_) {
        Pa_Terminate();
    }
}

std::vector<SoundDeviceInfo> SoundSystem::Devices() {
    std::vector<SoundDeviceInfo> devices;
    if (!started_) {
        return devices;
    }
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (!Listed(info)) {
            continue;
        }
        SoundDeviceInfo device;
        device.name = info->name;
        device.maxChannels = info->maxOutputChannels;
        device.canSplit =
            info->maxOutputChannels >= 4 &&
            (TakesFormat(i, 4, kPreferredRate) || TakesFormat(i, 4, info->defaultSampleRate));
        devices.push_back(std::move(device));
    }
    return devices;
}

std::shared_ptr<SoundCard> SoundSystem::OpenCard(const std::string& name, bool fourChannels) {
    lastError_.clear();
    const int wanted = fourChannels ? 4 : 2;
    const std::string key = name + "#" + std::to_string(wanted);
    if (auto card = open_[key].lock(); card != nullptr && !card->IsLost()) {
        return card;
    }
    if (!started_) {
        lastError_ = "the sound system did not start";
        return nullptr;
    }
    PaDeviceIndex found = paNoDevice;
    for (PaDeviceIndex i = 0; i < Pa_GetDeviceCount(); ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (Listed(info) && name == info->name) {
            found = i;
            break;
        }
    }
    if (found == paNoDevice) {
        lastError_ = "the sound device \"" + name + "\" is not present";
        return nullptr;
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(found);
    // Four channels when asked and accepted, otherwise two; 44,100 Hz unless the device
    // refuses it.
    for (const int channels : {wanted, 2}) {
        for (const double rate : {kPreferredRate, info->defaultSampleRate}) {
            if (channels > info->maxOutputChannels || !TakesFormat(found, channels, rate)) {
                continue;
            }
            auto card =
                std::make_shared<PortAudioCard>(name, channels, static_cast<uint32_t>(rate));
            const PaError err = card->Start(found);
            if (err == paNoError) {
                open_[key] = card;
                return card;
            }
            lastError_ =
                "the sound device \"" + name + "\" could not be opened: " + Pa_GetErrorText(err);
        }
    }
    if (lastError_.empty()) {
        lastError_ = "the sound device \"" + name + "\" takes no stereo 16-bit format";
    }
    return nullptr;
}

}  // namespace tev
