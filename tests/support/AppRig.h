#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "controls/CTevButtonCtrl.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "core/QtMessagePump.h"
#include "decks/CTevAudioDlg.h"
#include "decks/CTevDeck2.h"
#include "decoder/DecoderRig.h"
#include "input/FileThreads.h"
#include "output/CTevMixer.h"
#include "platform/SoundCard.h"
#include "support/Heard.h"

namespace tev::test {

// The real main window, mixer and decks, with both outputs on the halves of one four-channel
// manual-clock card (main: channels 0 and 1, monitor: 2 and 3); the test's thread is the UI
// thread.
class AppRig {
  public:
    // `commandLine`: the files named to the program, as bytes.
    explicit AppRig(std::vector<std::string> commandLine = {}) {
        ResetEngineState();
        SetMessagePump(&pump);
        SetTrackInfoReader(ReadTrackInfo);  // the play list measures its files as in the program
        dialog = std::make_unique<CTevAudioDlg>();
        dialog->SetCommandLineFiles(std::move(commandLine));
        dialog->SetMessageSink([this](const QString& text) { told.append(text); });
        dialog->SetKeyboardPolled(false);  // a test polls the keys itself, one poll at a time
        dialog->OnInitDialog();
        mixer = dialog->mixer();
        mixer->SetExitConfirmation([this] { return confirmExit; });
        mixer->mainOutput().Open(card, 0, "main");
        mixer->monitorOutput().Open(card, 1, "monitor");
        mixer->EnableMonitorControls();
        deck[0] = mixer->deck(0);
        deck[1] = mixer->deck(1);
        Settle();
    }
    ~AppRig() {
        if (hMainWnd) {
            SendAppMessage(hMainWnd, WM_CLOSE);
        }
        dialog.reset();
        SetTrackInfoReader(nullptr);
        SetMessagePump(nullptr);
        ResetEngineState();
    }

    // Handles what is pending, for a few milliseconds.
    static void Settle(int milliseconds = 5) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        do {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < end);
        QCoreApplication::processEvents();
    }

    // Handles events until `done` holds; false after the timeout.
    template <class Predicate>
    static bool PumpUntil(Predicate done, int milliseconds = 10000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        QCoreApplication::processEvents();
        return true;
    }

    // A WAV of numbered 16-bit stereo frames at 44,100 Hz (see NumberedFrames); its samples.
    std::vector<int16_t> MakeFile(const std::string& name, int frames, int id,
                                  const std::string& title = {}) {
        auto samples = NumberedFrames(frames, 2, id);
        WriteWav(Path(name), 2, 16, 44100, Bytes(samples), title);
        return samples;
    }
    std::string Path(const std::string& name) const {
        return dir.path().toStdString() + "/" + name;
    }

    // Loads a file into a deck through "Browse..." and waits until it can play.
    void Browse(int d, const std::string& name) {
        const QString path = QString::fromStdString(Path(name));
        deck[d]->SetFileChooser([path] { return QStringList{path}; });
        QComboBox* chooser = deck[d]->chooser();
        chooser->setCurrentIndex(1);
        emit chooser->activated(1);
        ASSERT_TRUE(WaitReady(d));
    }
    bool WaitReady(int d) const {
        return PumpUntil([this, d] { return deck[d]->playButton()->isEnabled(); });
    }
    // The gain a deck gets on an output, by the volume rule.
    static double Gain(double level, double curveGain) { return test::Gain(level, curveGain); }

    // Presses Play on the decks and waits until they all play.
    bool Play(std::initializer_list<int> decks) const {
        for (const int d : decks) {
            QTest::mouseClick(deck[d]->playButton(), Qt::LeftButton);
        }
        return PumpUntil([&] {
            return std::all_of(decks.begin(), decks.end(),
                               [&](int d) { return deck[d]->IsPlaying(); });
        });
    }

    // Renders one slot of sound per step and waits until every playing deck's notification for
    // it has been handled, as real time allows.
    std::vector<float> PlaySlots(int count) {
        std::vector<float> out;
        SoundOutput& main = mixer->mainOutput();
        for (int i = 0; i < count; ++i) {
            auto block = card->Render(static_cast<int>(kChunkFrames));
            out.insert(out.end(), block.begin(), block.end());
            PumpUntil(
                [&] {
                    for (int d = 0; d < kDeckCount; ++d) {
                        // A deck that has reached the silence after its audio is stopping; at
                        // the buffer's wrap the handler waits for the next slot.
                        const int slot = main.ForwardPlaySlot(d);
                        if (forwardNotifyRunning[d].load() != 0 && main.IsPlayingForward(d) &&
                            !mixer->engine().silentSlot(d, slot) &&
                            main.ForwardPlayCursor(d) != 0 &&
                            mixer->engine().lastPlayedSlot(d) != slot) {
                            return false;
                        }
                    }
                    return true;
                },
                5000);
        }
        return out;
    }

    QtMessagePump pump;
    QTemporaryDir dir;
    std::shared_ptr<ManualClockCard> card = std::make_shared<ManualClockCard>(4);
    std::unique_ptr<CTevAudioDlg> dialog;
    QStringList told;  // what the main window told the user
    CTevMixer* mixer = nullptr;
    CTevDeck2* deck[kDeckCount] = {nullptr, nullptr};
    bool confirmExit = true;
};

}  // namespace tev::test
