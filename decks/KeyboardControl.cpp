#include "decks/KeyboardControl.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>

#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "platform/KeyboardDevice.h"
#include "platform/MessageLayer.h"

namespace tev {
namespace {

constexpr uint8_t kLeftShift = 0x2A, kRightShift = 0x36, kLeftCtrl = 0x1D, kRightCtrl = 0x9D;

// Scan codes of the letters A ... Z.
constexpr uint8_t kLetters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                  0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                  0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

// The physical key of an event, where the platform reports its key code: X11 and Wayland
// number the keys as Linux does plus 8, and Linux numbers the main block as scan code set 1.
int LinuxKeyCodeOf(const QKeyEvent& event) {
    static const bool linuxCodes =
        QGuiApplication::platformName() == QLatin1String("xcb") ||
        QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    return linuxCodes && event.nativeScanCode() > 8 ? static_cast<int>(event.nativeScanCode()) - 8
                                                    : 0;
}

// The keys whose press keyboard control takes from the focused control.
bool IsControlKey(char character) {
    return (character >= '0' && character <= '9') || (character >= 'A' && character <= 'Z') ||
           character == 0x24 || character == 0x23;  // Home, End
}

bool TextFieldHasFocus(const QWindow& window) {
    const auto* focus = qobject_cast<const QWidget*>(window.focusObject());
    return focus != nullptr && focus->testAttribute(Qt::WA_InputMethodEnabled);
}

}  // namespace

KeyboardControl::KeyboardControl(KeyboardDevice& keyboard, QObject* parent)
    : QObject(parent), keyboard_(keyboard) {
    QCoreApplication::instance()->installEventFilter(this);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
        if (!IsPanel(window)) {
            ReleaseAll();
        }
    });
}

KeyboardControl::~KeyboardControl() {
    QCoreApplication::instance()->removeEventFilter(this);
    keyboard_.ReleaseAll();
}

void KeyboardControl::AddPanel(QWidget* panel) {
    panels_.emplace_back(panel);
}

bool KeyboardControl::IsPanel(const QWindow* window) const {
    if (window == nullptr) {
        return false;
    }
    for (const QPointer<QWidget>& panel : panels_) {
        if (panel != nullptr && panel->windowHandle() == window) {
            return true;
        }
    }
    return false;
}

void KeyboardControl::ReleaseAll() {
    keyboard_.ReleaseAll();
    for (const char key : {'A', 'F', 'R', 'L', 'W', 'P'}) {  // the keys that hold a button down
        PostAppMessage(hMixerWnd, WM_KEYUP, static_cast<WPARAM>(key));
    }
}

uint8_t KeyboardControl::ScanCodeOf(const QKeyEvent& event) {
    const int key = event.key();
    const int code = LinuxKeyCodeOf(event);
    if (key == Qt::Key_Shift) {
        return code == kRightShift ? kRightShift : kLeftShift;
    }
    if (key == Qt::Key_Control) {
        return code == 97 ? kRightCtrl : kLeftCtrl;  // Linux's right Ctrl
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return kLetters[key - Qt::Key_A];
    }
    if ((event.modifiers() & Qt::KeypadModifier) != 0) {
        return key == Qt::Key_Slash ? 0xB5 : 0;  // the keypad's divide key only
    }
    if (key >= Qt::Key_1 && key <= Qt::Key_9) {
        return static_cast<uint8_t>(0x02 + (key - Qt::Key_1));
    }
    switch (key) {
        case Qt::Key_0:
            return 0x0B;
        case Qt::Key_Semicolon:
            return 0x27;
        case Qt::Key_Comma:
            return 0x33;
        case Qt::Key_Period:
            return 0x34;
        case Qt::Key_Space:
            return 0x39;
        case Qt::Key_PageDown:
            return 0xD1;
        case Qt::Key_PageUp:
            return 0xC9;
        case Qt::Key_Home:
            return 0xC7;
        case Qt::Key_End:
            return 0xCF;
        case Qt::Key_Down:
            return 0xD0;
        case Qt::Key_Left:
            return 0xCB;
        case Qt::Key_Right:
            return 0xCD;
        case Qt::Key_Up:
            return 0xC8;
        default:
            break;
    }
    // A digit key typing a symbol (with Shift, or on a layout whose digits need Shift).
    return code >= 0x02 && code <= 0x0B ? static_cast<uint8_t>(code) : 0;
}

bool KeyboardControl::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // A key event reaches the window first and then its widgets: taken once, at the window.
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !watched->isWindowType()) {
        return false;
    }
    const auto& key = static_cast<const QKeyEvent&>(*event);
    const uint8_t scanCode = ScanCodeOf(key);
    if (scanCode == 0) {
        return false;
    }
    const char character = KeyboardDevice::CharacterOf(scanCode);  // 0 for Shift and Ctrl
    if (character != 0) {
        // The modifiers as the event has them: a Shift let go while the play list had the keys
        // must not stay down.
        const Qt::KeyboardModifiers modifiers = key.modifiers();
        if ((modifiers & Qt::ShiftModifier) == 0) {
            keyboard_.SetKeyState(kLeftShift, false);
            keyboard_.SetKeyState(kRightShift, false);
        }
        if ((modifiers & Qt::ControlModifier) == 0) {
            keyboard_.SetKeyState(kLeftCtrl, false);
            keyboard_.SetKeyState(kRightCtrl, false);
        }
    }
    if (type == QEvent::KeyRelease) {
        // Every release counts, wherever it happens: a key is never left held.
        if (!key.isAutoRepeat()) {
            keyboard_.SetKeyState(scanCode, false);
            if (character != 0) {
                PostAppMessage(hMixerWnd, WM_KEYUP, static_cast<WPARAM>(character));
            }
        }
        return false;
    }
    const auto* window = static_cast<const QWindow*>(watched);
    if (keyboardEnabled.load(std::memory_order_relaxed) == 0 || !IsPanel(window) ||
        (key.modifiers() & (Qt::AltModifier | Qt::MetaModifier)) != 0 ||
        TextFieldHasFocus(*window)) {
        return false;
    }
    keyboard_.SetKeyState(scanCode, true);
    if (character == 0) {
        return false;
    }
    // And one pressed there counts from the first key typed here.
    if ((key.modifiers() & Qt::ShiftModifier) != 0 && !keyboard_.IsShiftDown()) {
        keyboard_.SetKeyState(kLeftShift, true);
    }
    if ((key.modifiers() & Qt::ControlModifier) != 0 && !keyboard_.IsCtrlDown()) {
        keyboard_.SetKeyState(kLeftCtrl, true);
    }
    // A held key repeats its value changes through the poll; a transport action happens once
    // per press.
    if (!key.isAutoRepeat()) {
        PostAppMessage(hMixerWnd, WM_KEYDOWN, static_cast<WPARAM>(character));
    }
    return IsControlKey(character);
}

}  // namespace tev
