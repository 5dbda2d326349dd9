#pragma once

#include <functional>
#include <string>

namespace tev {

using EnvLookup = std::function<const char*(const char*)>;

// Empty when a display seems reachable (or the user chose a Qt platform plugin), otherwise the
// one line to print instead of letting the toolkit abort. `env` looks up environment variables.
std::string MissingDisplayMessage(const EnvLookup& env);

}  // namespace tev
