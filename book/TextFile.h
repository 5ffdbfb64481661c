#pragma once
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace veldrano {

using Lines = std::vector<std::string>;

// A file that cannot be opened, read, written or removed. The message names the path and
// the system's reason.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Calls `onLine(std::string_view)` for each line of `bytes`: a line ends at CR LF, a lone CR
// or a lone LF; a last line without an end is still a line; a NUL byte ends the text; empty
// text has no lines.
template <typename OnLine> void ForEachLine(std::string_view bytes, OnLine&& onLine) {
    if (auto nul = bytes.find('\0'); nul != std::string_view::npos)
        bytes = bytes.substr(0, nul);
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        onLine(bytes.substr(start, i - start));
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        onLine(bytes.substr(start));
}

// The lines of `bytes`, split as ForEachLine splits them.
Lines SplitLines(std::string_view bytes);

// Appends a line followed by CR LF, as every line of the program's text files is written.
inline void AppendLine(std::string& out, std::string_view line) {
    out.append(line);
    out += "\r\n";
}

// Every line followed by CR LF, the last one included.
std::string JoinLines(const Lines& lines);

// Whole-file access. ReadFileBytes and ReadTextLines throw FileError
// ("Cannot open file "<path>". <reason>") when the file cannot be read.
std::string ReadFileBytes(const std::string& path);
Lines ReadTextLines(const std::string& path);

// Writes to a temporary file in the same folder, flushes it to disk and renames it over
// the target, so the old file stays whole when anything fails. An existing target keeps
// its permission bits; a new one gets `newFileMode`. Throws FileError
// ("Cannot create file "<path>". <reason>").
void WriteFileAtomically(const std::string& path, std::string_view bytes,
                         unsigned newFileMode = 0644);
void WriteTextLines(const std::string& path, const Lines& lines, unsigned newFileMode = 0644);

// Removes a file; throws FileError ("Cannot delete file "<path>". <reason>").
void RemoveFile(const std::string& path);

} // namespace veldrano
