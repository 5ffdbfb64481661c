#pragma once
#include "files/TextFile.h"

#include <stdexcept>
#include <string>

namespace veldrano {

inline constexpr int kRecentCount = 5;
// No real path is longer; a longer line means the file is not a recent-files list.
inline constexpr size_t kMaxRecentLine = 4096;

// menu.dat that is not a recent-files list.
class RecentFilesError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The lines of menu.dat. Throws FileError when it cannot be read and RecentFilesError when
// a line is longer than any path.
Lines ReadRecentFiles(const std::string& path);

// The five lines menu.dat is rewritten with at exit. A book never saved (`archivoNuevo`)
// leaves the old entries as they are; otherwise the current file goes on top, its old place
// becomes an empty slot and the last old entry falls off. `old` must hold five lines.
Lines RotateRecent(const Lines& old, const std::string& archivoActual, bool archivoNuevo);

} // namespace veldrano
