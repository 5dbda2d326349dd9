#include "controls/CTevAboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <QtGlobal>
#include <utility>

#include "controls/ImageFolder.h"
#include "input/CdReader.h"
#include "input/TrackDecoder.h"
#include "platform/SoundSystem.h"

namespace tev {

CTevCompanyLogo::CTevCompanyLogo(QWidget* parent, QString imagePath)
    : QWidget(parent),
      imagePath_(imagePath.isEmpty() ? ImagePath(QStringLiteral("TevQuilletLogo.png"))
                                     : std::move(imagePath)) {}

void CTevCompanyLogo::paintEvent(QPaintEvent*) {
    const QImage image(imagePath_);
    if (image.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), image);
}

QString CTevAboutDlg::LibraryVersions() {
    return QStringLiteral("Qt %1\n%2\n%3\n%4")
        .arg(QString::fromLatin1(qVersion()), QString::fromStdString(DecoderLibraryVersion()),
             QString::fromStdString(SoundLibraryVersion()),
             QString::fromStdString(CdLibraryVersion()));
}

QString CTevAboutDlg::KeysText() {
    // The same keys as the controls' tool tips name; held keys repeat, Shift makes steps larger.
    static const char* const kRows[][2] = {
        {"W / P", "Deck A / Deck B play or pause"},
        {"Q / O", "Deck A / Deck B Cue"},
        {"A / L", "Deck A / Deck B Rev (held)"},
        {"R / F", "Deck A Rwnd / Ffwd (held); Deck A tempo"},
        {"J / K", "Deck B tempo down / up"},
        {"1 ... 5, 6 ... 0", "Deck A, Deck B to 0, 20, 40, 60, 80 %"},
        {"G / T, H / Y", "Deck A, Deck B level down / up"},
        {"D / U", "main level down / up (Ctrl: monitor)"},
        {"B / N", "main cross fader to A / B (Ctrl: monitor)"},
        {"V / M", "main cross fader fully to A / B"},
        {"Home / End", "cross fade curve"},
        {"A Z, S X, C", "Deck A equalizer bands (Ctrl: Deck B)"},
        {"F1", "this box"},
    };
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"1\">");
    for (const auto& row : kRows) {
        html += QStringLiteral("<tr><td><b>%1</b>&nbsp;&nbsp;</td><td>%2</td></tr>")
                    .arg(QString::fromLatin1(row[0]).toHtmlEscaped(),
                         QString::fromLatin1(row[1]).toHtmlEscaped());
    }
    return html + QStringLiteral("</table>");
}

CTevAboutDlg::CTevAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About TevAudio"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout();
    logo_ = new CTevCompanyLogo(this);
    logo_->setFixedSize(240, 72);
    top->addWidget(logo_);
    auto* name = new QLabel(QString::fromLatin1(kVersionText), this);
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    name->setFont(bold);
    top->addWidget(name, 1, Qt::AlignVCenter);
    layout->addLayout(top);

    auto* keys = new QLabel(QStringLiteral("<b>Keys</b> (while a panel other than the play list "
                                           "is active; Shift for larger steps)") +
                                KeysText(),
                            this);
    keys->setTextFormat(Qt::RichText);
    layout->addWidget(keys);
    auto* versions = new QLabel(QStringLiteral("Runs on:\n") + LibraryVersions(), this);
    versions->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(versions);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tev
