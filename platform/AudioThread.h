#pragma once

#include <cassert>

namespace tev {

// Set on a thread while it renders sound. A debug build stops at once when the render calls
// something that waits (for the audio thread itself, for a lock, for a file): in a release
// build it would be a dropout, or a render that never ends.
inline thread_local bool tRenderingSound = false;

class RenderingSound {
  public:
    RenderingSound() noexcept : outer_(tRenderingSound) { tRenderingSound = true; }
    ~RenderingSound() { tRenderingSound = outer_; }
    RenderingSound(const RenderingSound&) = delete;
    RenderingSound& operator=(const RenderingSound&) = delete;

  private:
    bool outer_;
};

}  // namespace tev

#define TEV_NOT_ON_THE_AUDIO_THREAD() \
    assert(!::tev::tRenderingSound && "waits or locks: never call it on the audio thread")
