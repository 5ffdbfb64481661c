#pragma once
#include <optional>
#include <string>

// The program's command line. Conversions, help and version run before any window or
// display exists; a book to open is picked out by the window after the toolkit took its
// own options.
namespace CommandLine {

// Runs --help, --version, --convert, --sort or --sync when the arguments ask for one,
// printing to the standard streams, and returns the exit status (0 done, 1 failed,
// 2 misused). Returns nullopt when the program should start its window.
std::optional<int> Run(int argc, char* argv[]);

// Says on standard error what was wrong with the arguments, then the usage; returns 2.
int Misuse(const std::string& what);

} // namespace CommandLine
