// Runs the real application object, then closes it through the mixer while one worker is blocked
// on an event for good and the track-length loader is stuck in a file. Prints what it saw; the
// process must still end at once with exit code 0.
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "core/CTevAudioApp.h"
#include "core/EngineState.h"
#include "core/EngineThreads.h"
#include "output/CTevMixer.h"
#include "platform/Event.h"
#include "platform/WorkerThread.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    tev::CTevAudioApp app(argc, argv);

    static tev::Event never(tev::Event::Manual, false);
    tev::WorkerThread::Start("Blocked", tev::kPriorityNormal, [] { never.Wait(); });
    tev::SetTrackInfoReader([](const std::string&, tev::TrackInfo&) {
        never.Wait();
        return false;
    });

    QTimer::singleShot(200, [] { tev::trackLength.Request("/music/endless.wav"); });
    QTimer::singleShot(400, [] {
        auto* mixer = dynamic_cast<tev::CTevMixer*>(tev::hMixerWnd.Get());
        if (mixer == nullptr) {
            std::puts("no mixer");
            std::exit(4);
        }
        std::puts(mixer->isVisible() ? "mixer shown" : "mixer hidden");
        mixer->SetExitConfirmation([] { return true; });
        mixer->close();
    });

    app.InitInstance();
    std::printf("main window closed, mixer handle %s, loader busy %u\n",
                tev::hMixerWnd ? "still set" : "cleared", tev::trackLength.Busy() ? 1U : 0U);
    app.ExitInstance();
    return 3;  // not reached: the application object ends the process with 0
}
