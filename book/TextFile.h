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

// Splits bytes into lines: a line ends at CR LF, a lone CR or a lone LF; a last line
// without an end is still a line; a NUL byte ends the text; empty text has no lines.
Lines SplitLines(std::string_view bytes);

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
