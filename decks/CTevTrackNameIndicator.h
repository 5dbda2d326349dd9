#pragma once

#include <QFrame>
#include <QString>

namespace tev {

// The name of the track a deck has loaded, in a fixed-width font on the dialog background.
// Only as many characters as fit the deck panel are shown; the rest of a long name is cut.
class CTevTrackNameIndicator : public QFrame {
  public:
    static constexpr int kShownCharacters = 29;

    explicit CTevTrackNameIndicator(QWidget* parent = nullptr);

    void SetText(const QString& text);
    const QString& text() const { return text_; }
    // The part of the name that is drawn.
    QString DisplayedText() const { return text_.left(kShownCharacters); }

    // What a deck shows for a track: its title, or without one the file's name without folder
    // and extension. Paths from play lists made on Windows use backslashes, so both separators
    // count.
    static QString NowPlayingText(const QString& title, const QString& filePath);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
};

}  // namespace tev
