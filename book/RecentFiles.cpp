#include "book/RecentFiles.h"

namespace veldrano {

Lines ReadRecentFiles(const std::string& path) {
    Lines lines = ReadTextLines(path);
    for (const std::string& line : lines)
        if (line.size() > kMaxRecentLine)
            throw RecentFilesError("menu.dat holds a line of " + std::to_string(line.size()) +
                                   " bytes");
    return lines;
}

Lines RotateRecent(const Lines& old, const std::string& archivoActual, bool archivoNuevo) {
    Lines result(old.begin(), old.begin() + kRecentCount);
    if (archivoNuevo)
        return result;
    result[0] = archivoActual;
    for (int line = 1, p = 0; line < kRecentCount; ++line, ++p)
        result[line] = old[p] == archivoActual ? std::string() : old[p];
    return result;
}

} // namespace veldrano
