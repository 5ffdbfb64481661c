#pragma once
#include <QString>
#include <string>

// The program's own folder for menu.dat, correo.cfg and imprimir.prn:
// $XDG_DATA_HOME/veldrano (by default ~/.local/share/veldrano).
namespace DataFolder {

QString Path();

// Full path of a file in the data folder, as bytes for the book/ and mail/ code.
std::string File(const char* name);

// Creates the folder and any missing menu.dat (five empty lines) and correo.cfg
// (three empty lines, readable by the user alone), as an installer would.
// Throws veldrano::FileError when the folder cannot be made.
void EnsureCreated();

// The help page shipped with the program: next to the binary in the build tree, else under
// share/veldrano of the installation the binary is in (any prefix), of the desktop's data
// folders, or of the prefix the program was built for.
QString HelpPagePath();

} // namespace DataFolder
