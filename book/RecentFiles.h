#pragma once
#include "book/TextFile.h"

#include <string>

namespace veldrano {

inline constexpr int kRecentCount = 5;

// The five lines menu.dat is rewritten with at exit. A book never saved (`archivoNuevo`)
// leaves the old entries as they are; otherwise the current file goes on top, its old place
// becomes an empty slot and the last old entry falls off. `old` must hold five lines.
Lines RotateRecent(const Lines& old, const std::string& archivoActual, bool archivoNuevo);

} // namespace veldrano
