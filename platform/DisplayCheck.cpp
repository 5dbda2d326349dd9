#include "platform/DisplayCheck.h"

#include <sys/stat.h>

#include <cctype>
#include <string_view>

namespace tev {
namespace {

bool NonEmpty(const char* value) {
    return value != nullptr && *value != '\0';
}

// ":N" and ":N.S" name a local X server, which listens on /tmp/.X11-unix/XN. Other forms (a host
// name, a socket path) are left to the toolkit.
bool LocalXServerMissing(std::string_view display) {
    if (display.size() < 2 || display[0] != ':' ||
        !std::isdigit(static_cast<unsigned char>(display[1]))) {
        return false;
    }
    std::string number;
    for (size_t i = 1; i < display.size() && std::isdigit(static_cast<unsigned char>(display[i]));
         ++i) {
        number.push_back(display[i]);
    }
    struct stat info {};
    return stat(("/tmp/.X11-unix/X" + number).c_str(), &info) != 0;
}

}  // namespace

std::string MissingDisplayMessage(const EnvLookup& env) {
    if (NonEmpty(env("QT_QPA_PLATFORM")) || NonEmpty(env("WAYLAND_DISPLAY"))) {
        return {};
    }
    const char* display = env("DISPLAY");
    if (NonEmpty(display) && !LocalXServerMissing(display)) {
        return {};
    }
    const std::string why = NonEmpty(display)
                                ? "TevAudio cannot reach the display " + std::string(display)
                                : std::string("TevAudio needs a graphical display and none is set");
    return why + ": start it from a desktop session, or without one as `xvfb-run -a make run`.";
}

bool ShouldUseXWayland(const EnvLookup& env, const std::vector<std::string>& arguments) {
    const char* session = env("XDG_SESSION_TYPE");
    const bool wayland = NonEmpty(env("WAYLAND_DISPLAY")) ||
                         (session != nullptr && std::string(session) == "wayland");
    for (const std::string& argument : arguments) {
        if (argument == "-platform" || argument == "--platform" ||
            argument.rfind("-platform=", 0) == 0) {
            return false;
        }
    }
    return wayland && NonEmpty(env("DISPLAY")) && !NonEmpty(env("QT_QPA_PLATFORM"));
}

}  // namespace tev
