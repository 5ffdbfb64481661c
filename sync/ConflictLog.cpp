#include "sync/ConflictLog.h"

#include "book/ContactFields.h"
#include "files/TextFile.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace veldrano {

namespace {

[[noreturn]] void Fail(const std::string& path, int err) {
    throw FileError("no se ha podido escribir el registro de conflictos «" + path +
                    "»: " + std::strerror(err));
}

std::string Now() {
    char when[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    return when;
}

} // namespace

void AppendConflictLog(const std::string& path, const std::vector<Conflict>& conflicts,
                       Charset& charset) {
    if (conflicts.empty())
        return;
    size_t ignored = 0;
    auto utf8 = [&](const std::string& text) { return charset.ToUtf8(text, &ignored); };
    const std::string when = Now();
    std::string text;
    for (const Conflict& c : conflicts)
        text += when + " «" + utf8(c.name) + "», " + FieldOf(c.field).columnCaption +
                ": se queda «" + utf8(c.here) + "» de la agenda; el servidor tenía «" +
                utf8(c.there) + "»\n";
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        Fail(path, errno);
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            ::close(fd);
            Fail(path, err);
        }
        done += static_cast<size_t>(n);
    }
    // A full disk may only show at the flush or the close.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        const int err = errno;
        ::close(fd);
        Fail(path, err);
    }
    if (::close(fd) != 0)
        Fail(path, errno);
}

} // namespace veldrano
