#pragma once

#include <QIcon>
#include <QString>

namespace tev {

// The folder the program's images (button skins, list icons, splash, logo, window icons) are
// loaded from: the program's own folder when they lie beside it (a build tree), else
// "../share/tevaudio" from it (an installation). Found once, from the executable's location,
// never from the working directory.
QString ImageFolder();
// The full path of one image of that folder.
QString ImagePath(const QString& fileName);
// Whether the folder holds the images at all; false means the program was installed without
// them, and the user should hear so.
bool ImagesFound();
// The window icons: the program's own (main window, mixer and the other panels) and the decks'.
QIcon ProgramIcon();
QIcon DeckIcon();

}  // namespace tev
