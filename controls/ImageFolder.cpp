#include "controls/ImageFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tev {
namespace {

// Drawn by the build with every other image, so its presence marks a folder of images.
constexpr const char* kMarkerImage = "playPause.png";

QString FindImageFolder() {
    const QDir program(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {program.absolutePath(), program.absoluteFilePath(QStringLiteral("../share/tevaudio"))}) {
        if (QFileInfo(QDir(candidate).filePath(QString::fromLatin1(kMarkerImage))).isFile()) {
            return QDir::cleanPath(candidate);
        }
    }
    return program.absolutePath();
}

// Every size the build draws of an icon ("name-16.png", ...), for the desktop to pick from.
QIcon SizedIcon(const QString& name) {
    QIcon icon;
    const QDir folder(ImageFolder());
    for (const QString& file :
         folder.entryList({name + QStringLiteral("-*.png")}, QDir::Files, QDir::Name)) {
        icon.addFile(folder.filePath(file));
    }
    return icon;
}

}  // namespace

QString ImageFolder() {
    static const QString folder = FindImageFolder();
    return folder;
}

QString ImagePath(const QString& fileName) {
    return QDir(ImageFolder()).filePath(fileName);
}

bool ImagesFound() {
    return QFileInfo(ImagePath(QString::fromLatin1(kMarkerImage))).isFile();
}

QIcon ProgramIcon() {
    return SizedIcon(QStringLiteral("tevaudio"));
}

QIcon DeckIcon() {
    return SizedIcon(QStringLiteral("deckIcon"));
}

}  // namespace tev
