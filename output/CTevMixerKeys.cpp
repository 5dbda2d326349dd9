// Keyboard control: the mixer's side of the polled keys and of the keys pressed and let go.

#include "controls/CTevButtonCtrl.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "decks/CTevDeck2.h"
#include "decks/CTevEqualizer2.h"
#include "output/CTevMixer.h"
#include "platform/KeyboardDevice.h"

namespace tev {

void CTevMixer::OnKeyPressed(char key) {
    const KeyboardDevice& keyboard = Keyboard();
    const bool ctrl = keyboard.IsCtrlDown();
    const bool shift = keyboard.IsShiftDown();
    // A step, small or (with Shift) large, in the key's direction.
    const auto step = [shift](bool up, double small, double large) {
        return (up ? 1.0 : -1.0) * (shift ? large : small);
    };
    switch (key) {
        case 'B':
        case 'N':
            if (ctrl) {
                if (engine_->monitorCrossFader.enabled()) {
                    engine_->monitorCrossFader.Nudge(step(key == 'N', 0.005, 0.1));
                    PostAppMessage(hMainWnd, WM_SYNC_MONITOR_CROSS_FADER);
                }
            } else {
                engine_->mainCrossFader.Nudge(step(key == 'N', 0.005, 0.1));
                PostAppMessage(hMainWnd, WM_SYNC_MAIN_CROSS_FADER);
            }
            break;
        case 'D':
        case 'U': {
            // Not without a device, nor the monitor's where it shares the main one's lines.
            BoundedValue& level = ctrl ? monitorLevel_ : mainLevel_;
            if (level.enabled()) {
                level.Nudge(step(key == 'U', 0.002, 0.02));
                if (ctrl) {
                    ShowMonitorLevel();
                } else {
                    PostAppMessage(hMainWnd, WM_SYNC_MAIN_LEVEL);
                }
            }
            break;
        }
        case 'G':
        case 'T':
        case 'H':
        case 'Y':
            if (!ctrl) {
                const int deck = key == 'G' || key == 'T' ? 0 : 1;
                engine_->deckLevel[deck].Nudge(step(key == 'T' || key == 'Y', 0.002, 0.02));
                PostAppMessage(hMainWnd, WM_SYNC_DECK_LEVEL, WPARAM(deck));
            }
            break;
        case 0x23:  // End
        case 0x24:  // Home
            if (!ctrl) {
                engine_->curveParameter.Nudge(step(key == 0x23, 0.01, 0.1));
                PostAppMessage(hMainWnd, WM_SYNC_CURVE_SLIDER);
            }
            break;
        case 'R':
        case 'F':
        case 'K':
        case 'J':
            if (!ctrl) {
                decks_[key == 'R' || key == 'F' ? 0 : 1]->NudgeTempo(
                    step(key == 'R' || key == 'K', 0.005, 0.05));
            }
            break;
        case 'A':
        case 'Z':
        case 'S':
        case 'X':
        case 'C': {
            const int band = key == 'A' || key == 'Z' ? 0 : key == 'C' ? 2 : 1;
            equalizers_[ctrl ? 1 : 0]->NudgeBand(band, step(key == 'A' || key == 'S', 0.005, 0.05));
            break;
        }
        default:
            break;
    }
}

CTevButtonCtrl* CTevMixer::KeyButton(int key) const {
    switch (key) {
        case 'A':
            return decks_[0]->reverseButton();
        case 'L':
            return decks_[1]->reverseButton();
        case 'F':
            return decks_[0]->fastForwardButton();
        case 'R':
            return decks_[0]->rewindButton();
        case 'W':
            return decks_[0]->playButton();
        case 'P':
            return decks_[1]->playButton();
        default:
            return nullptr;
    }
}

void CTevMixer::KeyDown(int key) {
    if (keyboardEnabled.load(std::memory_order_relaxed) == 0) {
        return;
    }
    if (key >= '0' && key <= '9') {
        // 1 ... 5 put Deck A at 0 %, 20 % ... 80 % of its track; 6 ... 0 Deck B.
        const int index = key == '0' ? 9 : key - '1';
        CTevDeck2& deck = *decks_[index / 5];
        if (deck.source() != CTevDeck2::kSourceNone) {
            deck.SeekTo((index % 5) * 0.2);
        }
    } else if (CTevButtonCtrl* button = KeyButton(key); button != nullptr) {
        // Held down as by the mouse: Rev and the winding buttons tell their deck themselves.
        if (button->Press() && (key == 'W' || key == 'P')) {
            decks_[key == 'W' ? 0 : 1]->PlayPause(false);
        }
    } else if (key == 'Q' || key == 'O') {
        decks_[key == 'Q' ? 0 : 1]->ToggleCue();
    } else if (key == 'M' || key == 'V') {
        engine_->mainCrossFader.Set(key == 'M' ? 1.0 : -1.0);
        PostAppMessage(hMainWnd, WM_SYNC_MAIN_CROSS_FADER);
    }
}

void CTevMixer::KeyUp(int key) {
    // A key let go always lets go of its button, even with keyboard control off meanwhile.
    if (CTevButtonCtrl* button = KeyButton(key); button != nullptr) {
        button->Release();
    }
}

}  // namespace tev
