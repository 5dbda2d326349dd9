#pragma once

namespace tev {

// What a buffer's sound passes through before it is mixed: its effects in order. An empty
// chain (none set) passes the sound unchanged.
class EffectChain {
  public:
    virtual ~EffectChain() = default;
    // [audio thread] Processes interleaved stereo samples in place. Never blocks or allocates.
    virtual void Process(float* samples, int frames, int sampleRate) noexcept = 0;
};

}  // namespace tev
