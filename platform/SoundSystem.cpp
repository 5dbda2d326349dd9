#include "platform/SoundSystem.h"

#include "platform/MixerLineControl.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <pa_linux_alsa.h>
#include <portaudio.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>

namespace tev {
namespace {

constexpr double kPreferredRate = 44100.0;
// What a device is asked for when it is only probed.
constexpr double kProbeLatency = 0.010;

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void QuietJack(const char*) {}

// A card whose stream PortAudio runs: its callback renders every block.
class PortAudioCard final : public SoundCard {
  public:
    PortAudioCard(const std::string& name, int channels, uint32_t rate)
        : SoundCard(name, channels, rate, MixerLineControl::MixerForDevice(name)) {}

    ~PortAudioCard() override { Close(); }

    // Opens and starts the stream with `latency` seconds of buffering (the host may give more).
    // On ALSA the callback thread asks for real-time scheduling; a start that fails with it is
    // tried again without.
    PaError Start(PaDeviceIndex device, double latency) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        const PaHostApiInfo* api = info != nullptr ? Pa_GetHostApiInfo(info->hostApi) : nullptr;
        const bool alsa = api != nullptr && api->type == paALSA;
        PaError err = paNoError;
        for (const bool realtime : {alsa, false}) {
            err = Open(device, latency, realtime);
            if (err == paNoError || !realtime) {
                break;
            }
        }
        return err;
    }

    double OutputLatency() const override {
        const PaStreamInfo* info = stream_ != nullptr ? Pa_GetStreamInfo(stream_) : nullptr;
        return info != nullptr ? info->outputLatency : 0.0;
    }

    bool RunsInRealTime() const override {
        return scheduling_.load(std::memory_order_relaxed) != kOrdinary;
    }

  private:
    enum Scheduling : int { kUnknown, kRealTime, kOrdinary };

    PaError Open(PaDeviceIndex device, double latency, bool realtime) {
        PaStreamParameters out{};
        out.device = device;
        out.channelCount = channels();
        out.sampleFormat = paFloat32;
        out.suggestedLatency = latency;
        PaError err = Pa_OpenStream(&stream_, nullptr, &out, sampleRate(),
                                    paFramesPerBufferUnspecified, paClipOff, &Callback, this);
        if (err != paNoError) {
            stream_ = nullptr;
            return err;
        }
        if (realtime) {
            PaAlsa_EnableRealtimeScheduling(stream_, 1);
        }
        scheduling_.store(realtime ? kUnknown : kOrdinary, std::memory_order_relaxed);
        Pa_SetStreamFinishedCallback(stream_, &Finished);
        err = Pa_StartStream(stream_);
        if (err != paNoError) {
            Close();
        }
        return err;
    }

    void Close() {
        if (stream_ != nullptr) {
            Pa_StopStream(stream_);
            Pa_CloseStream(stream_);
            stream_ = nullptr;
        }
    }

    static int Callback(const void*, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags flags, void* user) {
        auto* card = static_cast<PortAudioCard*>(user);
        if (card->scheduling_.load(std::memory_order_relaxed) == kUnknown) {
            // Once: whether the host gave the thread the real-time scheduling it was asked for.
            int policy = SCHED_OTHER;
            sched_param param{};
            pthread_getschedparam(pthread_self(), &policy, &param);
            card->scheduling_.store(
                policy == SCHED_FIFO || policy == SCHED_RR ? kRealTime : kOrdinary,
                std::memory_order_relaxed);
        }
        if ((flags & paOutputUnderflow) != 0) {
            card->CountUnderrun();
        }
        card->RenderBlock(static_cast<float*>(output), static_cast<int>(frames));
        return paContinue;
    }
    // The stream ended without being asked to: the device went away.
    static void Finished(void* user) { static_cast<PortAudioCard*>(user)->MarkLost(); }

    PaStream* stream_ = nullptr;
    std::atomic<int> scheduling_{kUnknown};
};

bool TakesFormat(PaDeviceIndex device, int channels, double rate) {
    PaStreamParameters out{};
    out.device = device;
    out.channelCount = channels;
    out.sampleFormat = paFloat32;
    out.suggestedLatency = kProbeLatency;
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
    const std::string key = name + "#" + std::to_string(wanted) + "#" + std::to_string(latencyMs_);
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
            const PaError err = card->Start(found, latencyMs_ / 1000.0);
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

int SoundSystem::NearestLatencyChoice(int ms) {
    int nearest = kDefaultLatencyMs;
    for (const int choice : kLatencyChoicesMs) {
        if (std::abs(choice - ms) < std::abs(nearest - ms)) {
            nearest = choice;
        }
    }
    return nearest;
}

void SoundSystem::SetLatencyMs(int ms) {
    latencyMs_ = NearestLatencyChoice(ms);
}

std::string SoundLibraryVersion() {
    return Pa_GetVersionInfo()->versionText;
}

}  // namespace tev
