#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/SoundEffect.h"

namespace tev {

// The deck effects by the names the effects panel lists: "Chorus", "Compressor", "Distortion",
// "Echo", "Flanger", "Gargle" and "Reverb", each with its standard settings.
inline constexpr const char* kNoEffect = "No Effect";

// A new effect of that name for a buffer at `sampleRate`; nullptr for "No Effect" and for a name
// that is none of the seven (the sound passes unchanged).
std::unique_ptr<SoundEffect> MakeDeckEffect(const std::string& name, uint32_t sampleRate);

// Sets the effects panel's parameter `index` (0 or 1) of an effect made for `name`: Chorus
// feedback and frequency, Compressor gain and attack, Distortion gain and edge, Echo feedback and
// both delays, Flanger feedback and delay, Gargle rate (rounded to whole hertz) and wave (square
// below 1, else triangle), Reverb time and high-frequency ratio. The effect's other settings keep
// their values. False for a name without such a parameter.
bool SetDeckEffectParameter(SoundEffect& effect, const std::string& name, int index, float value);

}  // namespace tev
