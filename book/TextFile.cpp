#include "book/TextFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veldrano {

namespace {

// The system gives up on longer chains of symbolic links too (ELOOP).
constexpr int kMaxLinkDepth = 40;
// Room left for ".", ".XXXXXX" and the like within a file name of at most 255 bytes.
constexpr size_t kMaxTempStem = 200;

std::string Reason(int err) {
    std::string text = std::strerror(err);
    return text.empty() ? text : text + ".";
}

[[noreturn]] void FailWith(const char* what, const std::string& path, const std::string& reason) {
    throw FileError(std::string(what) + " \"" + path + "\". " + reason);
}

[[noreturn]] void Fail(const char* what, const std::string& path, int err) {
    FailWith(what, path, Reason(err));
}

// Reading a FIFO would wait for a writer forever, a device may never end.
constexpr const char* kNotRegular = "Not a regular file.";

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path names once its symbolic links are followed; a dangling link names the
// file that writing through it creates.
std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0)
            return current;
        target.resize(static_cast<size_t>(n));
        current = target.starts_with('/') ? target : FolderOf(current) + "/" + target;
    }
    return current; // a loop: the write fails on it with the system's reason
}

mode_t UserUmask() {
    // /proc tells without changing it; umask() would have to set it to read it.
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Whether the user may write the file: a rename only needs the folder, so a read-only
// book would be replaced without this. The superuser may write anything, so for it a
// file without any write bit counts as read-only, as editors treat it.
bool MayWrite(const std::string& path, const struct stat& st) {
    if (::geteuid() == 0)
        return (st.st_mode & 0222) != 0;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

void SyncFolder(const std::string& folder) {
    // Makes the rename itself durable; a file system that cannot sync a folder has
    // nothing more to do for it.
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

Lines SplitLines(std::string_view bytes) {
    Lines lines;
    ForEachLine(bytes, [&](size_t start, size_t length) {
        lines.emplace_back(bytes.substr(start, length));
    });
    return lines;
}

std::string JoinLines(const Lines& lines) {
    size_t total = 0;
    for (const auto& l : lines)
        total += l.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

std::string ReadFileBytes(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        Fail("Cannot open file", path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        Fail("Cannot open file", path, err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (S_ISDIR(st.st_mode))
            Fail("Cannot open file", path, EISDIR);
        FailWith("Cannot open file", path, kNotRegular);
    }
    std::string data;
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

void WriteFileAtomically(const std::string& path, std::string_view bytes, FileAccess access) {
    const std::string target = FollowLinks(path);
    mode_t mode = access == FileAccess::Private ? 0600 : 0666 & ~UserUmask();
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            Fail("Cannot create file", path, EISDIR);
        if (!S_ISREG(st.st_mode))
            FailWith("Cannot create file", path, kNotRegular);
        if (!MayWrite(target, st))
            Fail("Cannot create file", path, EACCES);
        if (access == FileAccess::Shared)
            mode = st.st_mode & 07777;
    }
    const std::string folder = FolderOf(target);
    // Named after its target, so a save that was killed half-way leaves a file whose origin
    // is plain to see.
    std::string tmp = folder + "/." + NameOf(target).substr(0, kMaxTempStem) + ".XXXXXX";
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
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
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        Fail("Cannot create file", path, err);
    }
    SyncFolder(folder);
}

void WriteTextLines(const std::string& path, const Lines& lines, FileAccess access) {
    WriteFileAtomically(path, JoinLines(lines), access);
}

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = static_cast<unsigned long long>(st.st_size);
    stamp.seconds = st.st_mtim.tv_sec;
    stamp.nanoseconds = st.st_mtim.tv_nsec;
    return stamp;
}

void RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0)
        Fail("Cannot delete file", path, errno);
}

} // namespace veldrano
