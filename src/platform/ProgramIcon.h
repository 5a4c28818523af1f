#pragma once

#include <QIcon>

// The program's icon, drawn at the sizes desktops ask for (16 to 256 pixels)
// and compiled in, so that every window has it whether the program is
// installed or not and whatever image plugins Qt has.
QIcon ProgramIcon();

// The program's icon as installed, as a file URL for the desktop's media
// controls: the 256-pixel PNG in the hicolor theme of the prefix the
// executable in `applicationDir` was installed into (<prefix>/bin), else of
// the desktop's data folders. Empty when it is installed in neither.
QString InstalledIconUrl(const QString& applicationDir);
