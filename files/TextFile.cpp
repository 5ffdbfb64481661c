#include "files/TextFile.h"

#include "text/Charset.h"
#include "text/CodePage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veldrano {

namespace {

// The system gives up on longer chains of symbolic links too (ELOOP).
constexpr int kMaxLinkDepth = 40;
// Room left for ".", ".XXXXXX" and the like within a file name of at most 255 bytes.
constexpr size_t kMaxTempStem = 200;

std::string Reason(int err) {
    std::string text = SystemTextToUtf8(std::strerror(err), CurrentLocale().codePage);
    return text.empty() ? text : text + ".";
}

[[noreturn]] void FailWith(const char* what, const std::string& path, const std::string& reason) {
    throw FileError(std::string(what) + " \"" + SystemTextToUtf8(path, CurrentLocale().codePage) +
                    "\". " + reason);
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

void AskForLargePages(void* start, size_t size) {
    constexpr uintptr_t kHuge = 2u << 20; // the processor's large page
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(start) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(start) + size) & ~(kHuge - 1);
    if (end > begin) // only an advice: without large pages the memory works all the same
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

FileBytes ReadFileBuffer(const std::string& path) {
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
    FileBytes bytes;
    // One byte more than the file holds, so the read that finds its end needs no room.
    size_t capacity = st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 65536;
    bytes.data.reset(new char[capacity]);
    AskForLargePages(bytes.data.get(), capacity);
    for (;;) {
        if (bytes.size == capacity) { // the file grew while read, or its size was unknown
            capacity *= 2;
            std::unique_ptr<char[]> larger(new char[capacity]);
            std::memcpy(larger.get(), bytes.data.get(), bytes.size);
            bytes.data = std::move(larger);
        }
        ssize_t n = ::read(fd, bytes.data.get() + bytes.size, capacity - bytes.size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            Fail("Cannot open file", path, err);
        }
        if (n == 0)
            break;
        bytes.size += static_cast<size_t>(n);
    }
    ::close(fd);
    return bytes;
}

std::string ReadFileBytes(const std::string& path) {
    return std::string(ReadFileBuffer(path).view());
}

Lines ReadTextLines(const std::string& path) {
    return SplitLines(ReadFileBytes(path));
}

AtomicFile::AtomicFile(const std::string& path, FileAccess access)
    : m_path(path), m_target(FollowLinks(path)) {
    mode_t mode = access == FileAccess::Private ? 0600 : 0666 & ~UserUmask();
    struct stat st {};
    if (::stat(m_target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            Fail("Cannot create file", path, EISDIR);
        if (!S_ISREG(st.st_mode))
            FailWith("Cannot create file", path, kNotRegular);
        if (!MayWrite(m_target, st))
            Fail("Cannot create file", path, EACCES);
        if (access == FileAccess::Shared)
            mode = st.st_mode & 07777;
    }
    // Named after its target, so a save that was killed half-way leaves a file whose origin
    // is plain to see.
    m_tmp = FolderOf(m_target) + "/." + NameOf(m_target).substr(0, kMaxTempStem) + ".XXXXXX";
    m_fd = ::mkostemp(m_tmp.data(), O_CLOEXEC);
    if (m_fd < 0)
        Fail("Cannot create file", path, errno);
    if (::fchmod(m_fd, mode) != 0)
        abandon(errno);
}

AtomicFile::~AtomicFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_tmp.c_str());
    }
}

void AtomicFile::abandon(int err) {
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_tmp.c_str());
    Fail("Cannot create file", m_path, err);
}

void AtomicFile::write(std::string_view piece) {
    if (piece.empty())
        return;
    m_pending.push_back(piece);
    if (m_pending.size() == IOV_MAX)
        flush();
}

void AtomicFile::flush() {
    std::vector<iovec> io(m_pending.size());
    for (size_t i = 0; i < m_pending.size(); ++i)
        io[i] = {const_cast<char*>(m_pending[i].data()), m_pending[i].size()};
    size_t first = 0;
    while (first < io.size()) {
        ssize_t n = ::writev(m_fd, io.data() + first, static_cast<int>(io.size() - first));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon(errno);
        }
        // A short write leaves the rest of the pieces for the next round.
        for (size_t done = static_cast<size_t>(n); done > 0;) {
            const size_t step = std::min(done, io[first].iov_len);
            io[first].iov_base = static_cast<char*>(io[first].iov_base) + step;
            io[first].iov_len -= step;
            done -= step;
            if (io[first].iov_len == 0)
                ++first;
        }
        while (first < io.size() && io[first].iov_len == 0)
            ++first;
    }
    m_pending.clear();
}

void AtomicFile::commit() {
    flush();
    if (::fdatasync(m_fd) != 0)
        abandon(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(m_tmp.c_str());
        Fail("Cannot create file", m_path, err);
    }
    if (::rename(m_tmp.c_str(), m_target.c_str()) != 0) {
        int err = errno;
        ::unlink(m_tmp.c_str());
        Fail("Cannot create file", m_path, err);
    }
    SyncFolder(FolderOf(m_target));
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, FileAccess access) {
    AtomicFile file(path, access);
    file.write(bytes);
    file.commit();
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
