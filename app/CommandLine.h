#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// The program's command line. Conversions, help and version run before any window or
// display exists; a book to open is picked out after the toolkit took its own options.
namespace CommandLine {

// Runs --help, --version or --convert IN OUT [--lossy] when the arguments ask for one,
// printing to the standard streams, and returns the exit status (0 done, 1 failed,
// 2 misused). Returns nullopt when the program should start its window.
std::optional<int> Run(int argc, char* argv[]);

// The book named by what is left of the arguments (the program's name first), as an
// absolute path; an empty string when none is named. Prints the misuse and returns nullopt
// for an unknown option or more than one file.
std::optional<QString> BookToOpen(const QStringList& arguments);

} // namespace CommandLine
