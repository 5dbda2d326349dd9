#include "core/CTevAudioApp.h"

#include <unistd.h>

#include <cstdio>

#include "controls/CTevCommandLineInfo.h"
#include "core/EngineState.h"
#include "core/EngineThreads.h"
#include "core/QtMessagePump.h"
#include "core/SettingsStore.h"
#include "decks/CTevAudioDlg.h"
#include "input/FileThreads.h"
#include "platform/Clock.h"

namespace tev {

CTevAudioApp::CTevAudioApp(int& argc, char** argv) : application_(argc, argv) {
    // What Qt left of the arguments, every one of them a file for Deck A.
    CTevCommandLineInfo commandLine(argc, argv);
    for (bool last = !commandLine.HasFiles(); !last;) {
        commandLine.NextFile(files_.emplace_back(), last);
    }
    perfFrequency = PerfCounterFrequency();
    colorDeckA = Settings().LoadColorDeck(0);
    colorDeckB = Settings().LoadColorDeck(1);
    ResetEngineState();  // every event in the state it is created in
    SetTrackInfoReader(ReadTrackInfo);

    pump_ = std::make_unique<QtMessagePump>();
    SetMessagePump(pump_.get());
    QApplication::setApplicationName(QStringLiteral("TevAudio"));
    // The panels are separate windows; the program ends when the main window's loop ends, not
    // when the last panel happens to close.
    QApplication::setQuitOnLastWindowClosed(false);
}

CTevAudioApp::~CTevAudioApp() {
    std::fflush(nullptr);
    _exit(0);
}

bool CTevAudioApp::InitInstance() {
    CTevAudioDlg dialog;
    dialog.SetCommandLineFiles(files_);
    dialog.DoModal();
    return false;
}

int CTevAudioApp::ExitInstance() {
    return 0;
}

}  // namespace tev
