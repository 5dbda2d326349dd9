#pragma once

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

namespace tev {

class QtMessagePump;

// The application object: owns the process. Construction prepares the shared engine state and
// the deck colours; InitInstance runs the top-level window until it closes; destruction ends the
// process at once with exit code 0, so worker threads still blocked on an event cannot keep it
// alive. There is one per process.
class CTevAudioApp {
  public:
    CTevAudioApp(int& argc, char** argv);
    ~CTevAudioApp();
    CTevAudioApp(const CTevAudioApp&) = delete;
    CTevAudioApp& operator=(const CTevAudioApp&) = delete;

    // Runs the main window modally; false once it has closed.
    bool InitInstance();
    int ExitInstance();

  private:
    QApplication application_;
    std::vector<std::string> files_;
    std::unique_ptr<QtMessagePump> pump_;
};

}  // namespace tev
