#pragma once
#include <memory>
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
// ("Cannot open file "<path>". <reason>") when the path is not a regular file that can be
// read: a FIFO, a device or a folder is refused before anything is read from it.
std::string ReadFileBytes(const std::string& path);
Lines ReadTextLines(const std::string& path);

// The bytes of a whole file, read without first filling the buffer with zeros.
struct FileBytes {
    std::unique_ptr<char[]> data;
    size_t size = 0;
    std::string_view view() const { return {data.get(), size}; }
};
// As ReadFileBytes.
FileBytes ReadFileBuffer(const std::string& path);

// Asks the system to back a large buffer with large pages: a book of millions of contacts is
// then filled without a page fault every 4 KiB.
void AskForLargePages(void* start, size_t size);

// Who may read a file the program writes.
enum class FileAccess {
    Shared,  // an existing file keeps its mode; a new one gets 0666 less the user's umask
    Private, // always 0600: the file holds a password
};

// Writes to a temporary file named after the target (".name.XXXXXX") in the target's
// folder, flushes it to disk, renames it over the target and flushes the folder, so the
// old file stays whole when anything fails and the new one survives a power cut. A
// symbolic link is followed: its target is replaced and the link stays. A target the
// user may not write is refused, although the folder would allow the rename. Throws
// FileError ("Cannot create file "<path>". <reason>").
void WriteFileAtomically(const std::string& path, std::string_view bytes,
                         FileAccess access = FileAccess::Shared);

// The same, for a file written in pieces: each piece is handed over as it is (gathered
// into few system calls, never copied into one buffer) and must stay valid until commit.
// A writer destroyed before commit() leaves the target as it was.
class AtomicFile {
  public:
    AtomicFile(const std::string& path, FileAccess access = FileAccess::Shared);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void write(std::string_view piece);
    // Writes what is pending, flushes it to disk and puts the file in place.
    void commit();

  private:
    void flush();
    [[noreturn]] void abandon(int err);

    std::string m_path, m_target, m_tmp;
    int m_fd = -1;
    std::vector<std::string_view> m_pending;
};
void WriteTextLines(const std::string& path, const Lines& lines,
                    FileAccess access = FileAccess::Shared);

// One version of a file on disk: any write that replaces or changes it changes the stamp.
struct FileStamp {
    bool exists = false;
    unsigned long long device = 0, inode = 0, size = 0;
    long long seconds = 0, nanoseconds = 0; // last modification
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file a path names (following symbolic links); `exists` false when
// there is none.
FileStamp StampOf(const std::string& path);

// Removes a file; throws FileError ("Cannot delete file "<path>". <reason>").
void RemoveFile(const std::string& path);

} // namespace veldrano
