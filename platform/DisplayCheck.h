#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tev {

using EnvLookup = std::function<const char*(const char*)>;

// Empty when a display seems reachable (or the user chose a Qt platform plugin), otherwise the
// one line to print instead of letting the toolkit abort. `env` looks up environment variables.
std::string MissingDisplayMessage(const EnvLookup& env);

// True when the program should run through XWayland (Qt's xcb platform): the session is Wayland,
// which does not let a program place its windows, an X server is reachable, and the user chose
// no platform (QT_QPA_PLATFORM or a -platform argument).
bool ShouldUseXWayland(const EnvLookup& env, const std::vector<std::string>& arguments);

}  // namespace tev
