#pragma once

#include <string_view>

namespace tev {

// The debug log of the streaming and transport code: lines such as "Enter: PlayBackward".
// Off unless the environment variable TEV_TRACE is set to a non-empty value; then the lines go
// to standard error. [any thread but the audio thread]
bool TraceEnabled() noexcept;
void Trace(std::string_view line);

}  // namespace tev
