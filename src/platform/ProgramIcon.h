#pragma once

#include <QIcon>

// The program's icon, drawn at the sizes desktops ask for (16 to 256 pixels)
// and compiled in, so that every window has it whether the program is
// installed or not and whatever image plugins Qt has.
QIcon ProgramIcon();
