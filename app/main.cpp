#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/CTevAudioApp.h"
#include "platform/DisplayCheck.h"

int main(int argc, char** argv) {
    const std::string missing =
        tev::MissingDisplayMessage([](const char* name) { return std::getenv(name); });
    if (!missing.empty()) {
        std::fprintf(stderr, "%s\n", missing.c_str());
        return 1;
    }
    tev::CTevAudioApp app(argc, argv);
    app.InitInstance();
    return app.ExitInstance();  // the application object then ends the process
}
