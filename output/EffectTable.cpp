#include "output/EffectTable.h"

#include <cmath>

#include "platform/effects/ChorusEffect.h"
#include "platform/effects/CompressorEffect.h"
#include "platform/effects/DistortionEffect.h"
#include "platform/effects/EchoEffect.h"
#include "platform/effects/GargleEffect.h"
#include "platform/effects/ReverbEffect.h"

namespace tev {
namespace {

// Reads the effect's settings, changes one and writes them back.
template <class Effect, class Edit>
bool Change(SoundEffect& effect, Edit change) {
    auto& typed = static_cast<Effect&>(effect);
    auto settings = typed.GetAllParameters();
    change(settings);
    typed.SetAllParameters(settings);
    return true;
}

}  // namespace

std::unique_ptr<SoundEffect> MakeDeckEffect(const std::string& name, uint32_t sampleRate) {
    const double rate = sampleRate;
    if (name == "Chorus") {
        return std::make_unique<ChorusEffect>(rate);
    }
    if (name == "Compressor") {
        return std::make_unique<CompressorEffect>(rate);
    }
    if (name == "Distortion") {
        return std::make_unique<DistortionEffect>(rate);
    }
    if (name == "Echo") {
        return std::make_unique<EchoEffect>(rate);
    }
    if (name == "Flanger") {
        return std::make_unique<FlangerEffect>(rate);
    }
    if (name == "Gargle") {
        return std::make_unique<GargleEffect>(rate);
    }
    if (name == "Reverb") {
        return std::make_unique<ReverbEffect>(rate);
    }
    return nullptr;
}

bool SetDeckEffectParameter(SoundEffect& effect, const std::string& name, int index, float value) {
    const bool first = index == 0;
    if (index != 0 && index != 1) {
        return false;
    }
    if (name == "Chorus") {
        return Change<ChorusEffect>(
            effect, [&](ChorusParameters& p) { (first ? p.feedback : p.frequency) = value; });
    }
    if (name == "Compressor") {
        return Change<CompressorEffect>(
            effect, [&](CompressorParameters& p) { (first ? p.gain : p.attack) = value; });
    }
    if (name == "Distortion") {
        return Change<DistortionEffect>(
            effect, [&](DistortionParameters& p) { (first ? p.gain : p.edge) = value; });
    }
    if (name == "Echo") {
        return Change<EchoEffect>(effect, [&](EchoParameters& p) {
            if (first) {
                p.feedback = value;
            } else {
                p.leftDelay = p.rightDelay = value;
            }
        });
    }
    if (name == "Flanger") {
        return Change<FlangerEffect>(
            effect, [&](FlangerParameters& p) { (first ? p.feedback : p.delay) = value; });
    }
    if (name == "Gargle") {
        return Change<GargleEffect>(effect, [&](GargleParameters& p) {
            if (first) {
                // A rate that is not a number, or far out of range, keeps the one it has.
                if (std::isfinite(value) && std::abs(value) < 1e6F) {
                    p.rateHz = static_cast<int>(std::lround(value));
                }
            } else {
                p.waveShape = value < 1.0F ? GargleWave::kSquare : GargleWave::kTriangle;
            }
        });
    }
    if (name == "Reverb") {
        return Change<ReverbEffect>(effect, [&](ReverbParameters& p) {
            (first ? p.reverbTime : p.highFreqRtRatio) = value;
        });
    }
    return false;
}

}  // namespace tev
