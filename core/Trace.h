#pragma once

namespace tev {

// The debug log of the streaming and transport code: lines such as
// "Enter: OnPlayForwardNotify : Deck A" or "Leave: ... : Deck A : Normal". Off unless the
// environment variable TEV_TRACE is set to a non-empty value; then the lines go to standard
// error. Never allocates, so the streaming handlers may trace on every notification.
// [any thread but the audio thread]
bool TraceEnabled() noexcept;
// `text`, then the deck when deck is 0 or 1 (its letter after a text ending in "Deck ",
// else " : Deck A"), then `reason` when given.
void Trace(const char* text, int deck = -1, const char* reason = nullptr) noexcept;

}  // namespace tev
