#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/CTevAudioApp.h"
#include "platform/DisplayCheck.h"

int main(int argc, char** argv) {
    const auto env = [](const char* name) { return std::getenv(name); };
    const std::string missing = tev::MissingDisplayMessage(env);
    if (!missing.empty()) {
        std::fprintf(stderr, "%s\n", missing.c_str());
        return 1;
    }
    if (tev::ShouldUseXWayland(env, std::vector<std::string>(argv + 1, argv + argc))) {
        // The panels are placed by the program, which Wayland does not allow.
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    tev::CTevAudioApp app(argc, argv);
    app.InitInstance();
    return app.ExitInstance();  // the application object then ends the process
}
