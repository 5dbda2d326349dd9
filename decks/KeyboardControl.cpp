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

constexpr uint8_t kLeftShift = KeyboardDevice::kLeftShift;
constexpr uint8_t kRightShift = KeyboardDevice::kRightShift;
constexpr uint8_t kLeftCtrl = KeyboardDevice::kLeftCtrl;
constexpr uint8_t kRightCtrl = KeyboardDevice::kRightCtrl;

// The character the keyboard poll reports for a key of the poll table, by its label: the
// letter, digit or symbol itself, and for the navigation keys their virtual-key codes.
char PollCharacterOf(int key, bool keypad) {
    if (keypad) {
        return key == Qt::Key_Slash ? '/' : 0;  // the keypad's divide key only
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z) ||
        key == Qt::Key_Semicolon || key == Qt::Key_Comma || key == Qt::Key_Period ||
        key == Qt::Key_Space) {
        return static_cast<char>(key);  // Qt numbers these keys by their ASCII characters
    }
    switch (key) {
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        default:
            return 0;
    }
}

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
    const char character = PollCharacterOf(key, (event.modifiers() & Qt::KeypadModifier) != 0);
    if (character != 0) {
        return KeyboardDevice::ScanCodeOf(character);
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
