#include "controls/CTevButtonCtrl.h"

#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "controls/ImageFolder.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "platform/MessageLayer.h"

namespace tev {

namespace {

struct ImageSet {
    const char* normal;
    const char* pressed;
    const char* disabled;  // nullptr: a disabled button keeps its other images
};

ImageSet ImagesOf(CTevButtonCtrl::Kind kind, bool onLook) {
    using Kind = CTevButtonCtrl::Kind;
    switch (kind) {
        case Kind::None:
            break;
        case Kind::Reverse:
            return {"reverse.png", "reverseSelected.png", "reverseDisabled.png"};
        case Kind::Rewind:
            return {"rewind.png", "rewindSelected.png", "rewindDisabled.png"};
        case Kind::FastForward:
            return {"fastForward.png", "fastForwardSelected.png", "fastForwardDisabled.png"};
        case Kind::PlayPause:
            return {"playPause.png", "playPauseSelected.png", "playPauseDisabled.png"};
        case Kind::NextTrack:
            return {"nextTrack.png", "nextTrackSelected.png", nullptr};
        case Kind::PreviousTrack:
            return {"previousTrack.png", "previousTrackSelected.png", nullptr};
        case Kind::AddFile:
            return {"addFile.png", "addFileSelected.png", nullptr};
        case Kind::AddFolder:
            return {"addFolder.png", "addFolderSelected.png", nullptr};
        case Kind::Delete:
            return {"delete.png", "deleteSelected.png", nullptr};
        case Kind::DeleteAll:
            return {"deleteAll.png", "deleteAllSelected.png", nullptr};
        case Kind::Save:
            return {"save.png", "saveSelected.png", nullptr};
        case Kind::DeckSwap:
            return {"deckSwap.png", "deckSwapSelected.png", nullptr};
        case Kind::MoveUp:
            return {"moveUp.png", "moveUpSelected.png", nullptr};
        case Kind::MoveDown:
            return {"moveDown.png", "moveDownSelected.png", nullptr};
        case Kind::Power:
            return onLook ? ImageSet{"powerOn.png", "powerOnSelected.png", nullptr}
                          : ImageSet{"powerOff.png", "powerOffSelected.png", nullptr};
        case Kind::Record:
            return onLook ? ImageSet{"recordOn.png", "recordOnSelected.png", nullptr}
                          : ImageSet{"record.png", "recordSelected.png", nullptr};
    }
    return {nullptr, nullptr, nullptr};
}

// The messages a winding button sends its deck; 0 for the buttons that only click.
uint32_t PressedMessage(CTevButtonCtrl::Kind kind) {
    switch (kind) {
        case CTevButtonCtrl::Kind::Reverse:
            return WM_REV_PRESSED;
        case CTevButtonCtrl::Kind::Rewind:
            return WM_RWND_PRESSED;
        case CTevButtonCtrl::Kind::FastForward:
            return WM_FFWD_PRESSED;
        default:
            return 0;
    }
}

uint32_t ReleasedMessage(CTevButtonCtrl::Kind kind) {
    switch (kind) {
        case CTevButtonCtrl::Kind::Reverse:
            return WM_REV_RELEASED;
        case CTevButtonCtrl::Kind::Rewind:
            return WM_RWND_RELEASED;
        case CTevButtonCtrl::Kind::FastForward:
            return WM_FFWD_RELEASED;
        default:
            return 0;
    }
}

bool IsLeftButton(const QEvent* event) {
    return static_cast<const QMouseEvent*>(event)->button() == Qt::LeftButton;
}

}  // namespace

CTevButtonCtrl::CTevButtonCtrl(QWidget* parent) : QPushButton(parent), enabled_(isEnabled()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTevButtonCtrl::SetKind(Kind kind) {
    kind_ = kind;
    update();
}

void CTevButtonCtrl::SetDeck(int deck) {
    if (deck >= 0 && deck < kDeckCount) {
        deck_ = deck;
    }
}

void CTevButtonCtrl::SetOnLook(bool on) {
    onLook_ = on;
    update();
}

void CTevButtonCtrl::SetHighlighted(bool on) {
    if (highlighted_ != on) {
        highlighted_ = on;
        update();
    }
}

QString CTevButtonCtrl::ImageFileName() const {
    const ImageSet images = ImagesOf(kind_, onLook_);
    const char* name = images.normal;
    if (!enabled_ && images.disabled != nullptr) {
        name = images.disabled;
    } else if (pressed_ || highlighted_) {
        name = images.pressed;
    }
    return name == nullptr ? QString() : QString::fromLatin1(name);
}

bool CTevButtonCtrl::DrawImageFile(QImage& target, const QString& folder, const QString& fileName) {
    const QImage source(QDir(folder).filePath(fileName));
    if (source.isNull()) {
        return false;
    }
    // The skins are larger than the buttons: an area-averaging reduction keeps thin strokes
    // instead of dropping every other pixel row.
    const QImage scaled =
        source.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target.rect(), scaled);
    return true;
}

bool CTevButtonCtrl::event(QEvent* event) {
    // A disabled widget gets no mouse handlers, yet a hold that began before the deck disabled
    // the button must still end, or the deck would go on winding.
    if (event->type() == QEvent::MouseButtonRelease && !isEnabled() && IsLeftButton(event) &&
        pressed_) {
        EndHold();
        update();
        return true;
    }
    return QPushButton::event(event);
}

void CTevButtonCtrl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        enabled_ = isEnabled();
        repaint();
    }
    QPushButton::changeEvent(event);
}

bool CTevButtonCtrl::Press() {
    if (!isEnabled() || pressed_) {
        return false;
    }
    pressed_ = true;
    if (const uint32_t msg = PressedMessage(kind_); msg != 0) {
        PostAppMessage(hDeckWnd[deck_], msg, static_cast<WPARAM>(deck_));
    }
    update();
    return true;
}

void CTevButtonCtrl::Release() {
    if (pressed_) {
        EndHold();
        update();
    }
}

void CTevButtonCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Press();
    }
    QPushButton::mousePressEvent(event);
}

void CTevButtonCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        EndHold();
    }
    QPushButton::mouseReleaseEvent(event);
}

void CTevButtonCtrl::EndHold() {
    if (!pressed_) {
        return;
    }
    pressed_ = false;
    if (const uint32_t msg = ReleasedMessage(kind_); msg != 0) {
        PostAppMessage(hDeckWnd[deck_], msg, static_cast<WPARAM>(deck_));
    }
}

void CTevButtonCtrl::paintEvent(QPaintEvent*) {
    // Composed off screen and copied in one call, so it never flickers.
    QImage image(size(), QImage::Format_ARGB32);
    QColor face = palette().color(QPalette::Button);
    face.setAlpha(255);
    image.fill(face);
    const QString name = ImageFileName();
    if (!name.isEmpty()) {
        DrawImageFile(image, ImageFolder(), name);
    }
    QPainter(this).drawImage(0, 0, image);
}

QGroupBox* MakeEnableGroup(QWidget* parent, CTevButtonCtrl*& button) {
    auto* group = new QGroupBox(QStringLiteral("Enable"), parent);
    button = new CTevButtonCtrl(group);
    button->SetKind(CTevButtonCtrl::Kind::Power);
    button->setText(QStringLiteral("On"));
    button->setFixedSize(44, 34);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    auto* inside = new QVBoxLayout(group);
    inside->setContentsMargins(2, 2, 2, 2);
    inside->setSpacing(2);
    inside->addWidget(button, 0, Qt::AlignHCenter);
    return group;
}

}  // namespace tev
