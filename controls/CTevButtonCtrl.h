#pragma once

#include <QGroupBox>
#include <QPushButton>
#include <QString>

class QImage;

namespace tev {

// A push button drawn from image files: the transport, play list and power buttons of the panels.
// Reverse, rewind and fast forward also tell their deck when they are pressed and released, so
// the deck winds for as long as the button is held.
class CTevButtonCtrl : public QPushButton {
  public:
    enum class Kind {
        None,
        Reverse,
        Rewind,
        FastForward,
        NextTrack,
        PlayPause,
        PreviousTrack,
        AddFile,
        AddFolder,
        Delete,
        Save,
        DeckSwap,
        MoveUp,
        MoveDown,
        DeleteAll,
        Power,
        Record,
    };

    explicit CTevButtonCtrl(QWidget* parent = nullptr);

    void SetKind(Kind kind);
    Kind kind() const { return kind_; }
    // 0: Deck A, 1: Deck B; other values are ignored.
    void SetDeck(int deck);
    int deck() const { return deck_; }
    // Power and record buttons only: show the "on" images.
    void SetOnLook(bool on);
    // Shows the pressed image while not pressed: a button that blinks to draw the eye.
    void SetHighlighted(bool on);
    bool highlighted() const { return highlighted_; }
    // Keyboard control holds the button down and lets it go as the mouse would: drawn pressed,
    // and a winding button tells its deck. A disabled or already held button takes no press
    // (false).
    bool Press();
    void Release();
    bool held() const { return pressed_; }

    // The bare name of the file the next paint draws; empty when the button has no kind.
    QString ImageFileName() const;

    // Draws folder/fileName scaled to the whole of `target`, over what it already holds. False,
    // with `target` untouched, when the file cannot be read.
    static bool DrawImageFile(QImage& target, const QString& folder, const QString& fileName);

  protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void EndHold();

    Kind kind_ = Kind::None;
    int deck_ = 0;
    bool pressed_ = false;  // between a left press and its release
    bool onLook_ = false;
    bool highlighted_ = false;
    bool enabled_ = true;
};

// A panel's "Enable" group: its On/Off power switch, captioned "On" while off, which neither Enter
// nor the keyboard focus reaches (the keys belong to keyboard control). The switch goes to
// `button`.
QGroupBox* MakeEnableGroup(QWidget* parent, CTevButtonCtrl*& button);

}  // namespace tev
