#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

namespace tev {

// The maker's logo, drawn from the program's logo image scaled to the control; nothing when the
// image is missing. The image is read at every paint, so a replaced file shows at once.
class CTevCompanyLogo : public QWidget {
  public:
    explicit CTevCompanyLogo(QWidget* parent = nullptr, QString imagePath = {});

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString imagePath_;
};

// "About TevAudio": the logo, the program's name and version, its keys and the versions of the
// libraries it runs on.
class CTevAboutDlg : public QDialog {
  public:
    static constexpr const char* kVersionText = "Tev Audio V. 1.0.5";

    explicit CTevAboutDlg(QWidget* parent = nullptr);

    // One line per library: Qt, FFmpeg, PortAudio and libcdio, as they run, not as built.
    static QString LibraryVersions();
    // The keyboard keys of the decks and the mixer, as rich text.
    static QString KeysText();

    CTevCompanyLogo* logo() const { return logo_; }

  private:
    CTevCompanyLogo* logo_ = nullptr;
};

}  // namespace tev
