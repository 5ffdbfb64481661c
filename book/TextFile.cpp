#include "book/TextFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veldrano {

namespace {

std::string Reason(int err) {
    std::string text = std::strerror(err);
    return text.empty() ? text : text + ".";
}

[[noreturn]] void Fail(const char* what, const std::string& path, int err) {
    throw FileError(std::string(what) + " \"" + path + "\". " + Reason(err));
}

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

Lines SplitLines(std::string_view bytes) {
    Lines lines;
    ForEachLine(bytes, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

std::string JoinLines(const Lines& lines) {
    size_t total = 0;
    for (const auto& l : lines)
        total += l.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& l : lines)
        AppendLine(out, l);
    return out;
}

std::string ReadFileBytes(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        Fail("Cannot open file", path, errno);
    std::string data;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        Fail("Cannot open file", path, EISDIR);
    }
    if (st.st_size > 0)
        data.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            Fail("Cannot open file", path, err);
        }
        if (n == 0)
            break;
        data.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return data;
}

Lines ReadTextLines(const std::string& path) {
    return SplitLines(ReadFileBytes(path));
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, unsigned newFileMode) {
    mode_t mode = newFileMode;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            Fail("Cannot create file", path, EISDIR);
        mode = st.st_mode & 07777;
    }
    std::string tmp = FolderOf(path) + "/.veldrano-XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        Fail("Cannot create file", path, errno);
    auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        Fail("Cannot create file", path, err);
    };
    if (::fchmod(fd, mode) != 0)
        abandon(errno);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon(errno);
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0)
        abandon(errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        Fail("Cannot create file", path, err);
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        Fail("Cannot create file", path, err);
    }
}

void WriteTextLines(const std::string& path, const Lines& lines, unsigned newFileMode) {
    WriteFileAtomically(path, JoinLines(lines), newFileMode);
}

void RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0)
        Fail("Cannot delete file", path, errno);
}

} // namespace veldrano
