#pragma once
#include <stdexcept>
#include <string>

// The mail settings file correo.cfg in the data folder: server, user and password on lines
// 1 to 3, as plain text in the program's code page. Later lines belong to nobody here and
// are written back as they were. When the desktop's keyring answers, the password lives
// there (key "smtp:USER@SERVER") and line 3 is written empty; without one, line 3 stays its
// store. The file may hold a password, so it is kept readable by its owner alone.
struct MailSettings {
    std::string servidor;
    std::string usuario;
    std::string contrasena;

    // Reads the three settings; an empty line 3 takes the password from the keyring. Throws
    // veldrano::FileError when the file cannot be read and MailSettingsShortFile ("List index out
    // of bounds (n)") when it has fewer than three lines.
    static MailSettings Load();

    // Replaces lines 1 to 3 of the file, keeping the rest, and leaves it at mode 0600. The
    // password goes to the keyring when one takes it (an older file's line 3 moves there on
    // this first write) and line 3 is written empty; an empty password is forgotten there.
    // Throws as Load does, and veldrano::FileError when the file cannot be written.
    void Save() const;
};

// A settings file of fewer than three lines; `partial` holds the ones it has, the others
// empty.
class MailSettingsShortFile : public std::runtime_error {
  public:
    MailSettingsShortFile(const std::string& what, MailSettings found)
        : std::runtime_error(what), partial(std::move(found)) {}
    MailSettings partial;
};
