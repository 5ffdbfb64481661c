#include "sync/Password.h"

#include "files/TextFile.h"
#include "sync/SyncError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace veldrano {

std::string ReadPasswordFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throw SyncError("no se puede leer el archivo de contraseña «" + path +
                        "»: " + std::strerror(errno));
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0 || info.st_uid != ::geteuid())
        throw SyncError("el archivo de contraseña «" + path +
                        "» es accesible para otros usuarios; déjelo solo para usted "
                        "(chmod 600)");
    const Lines lines = ReadTextLines(path);
    if (lines.empty() || lines[0].empty())
        throw SyncError("el archivo de contraseña «" + path + "» está vacío");
    return lines[0];
}

std::string AskPassword(const std::string& prompt) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        throw SyncError("no hay terminal donde pedir la contraseña; use --password-file");
    termios saved{};
    const bool terminal = ::tcgetattr(tty, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    (void)!::write(tty, prompt.data(), prompt.size());
    std::string password;
    char c = 0;
    ssize_t got = 0;
    while ((got = ::read(tty, &c, 1)) == 1 && c != '\n')
        password += c;
    if (terminal)
        ::tcsetattr(tty, TCSAFLUSH, &saved);
    ::close(tty);
    if (got < 0)
        throw SyncError("no se ha podido leer la contraseña");
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    return password;
}

} // namespace veldrano
