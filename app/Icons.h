#pragma once
#include <QIcon>

namespace Icons {

// Chooses an icon theme that has the tool bar's pictures when the desktop names none.
void SetUpTheme();

// The program's own icon: the desktop theme's, else the one built into the program.
QIcon Program();

// The picture of a command, by the command's name: from the desktop's icon theme, or one of
// the toolkit's own pictures when the theme has none, so no tool button is ever blank.
QIcon Get(const char* command);

} // namespace Icons
