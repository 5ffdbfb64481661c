#pragma once
#include <stdexcept>
#include <string>

// The mail settings file correo.cfg in the data folder: server, user and password on lines
// 1 to 3, as plain text in the program's code page. Later lines belong to nobody here and
// are written back as they were. The file holds a password, so it is kept readable by its
// owner alone.
struct MailSettings {
    std::string servidor;
    std::string usuario;
    std::string contrasena;

    // Reads the three settings. Throws veldrano::FileError when the file cannot be read and
    // MailSettingsShortFile ("List index out of bounds (n)") when it has fewer than three
    // lines.
    static MailSettings Load();

    // Replaces lines 1 to 3 of the file, keeping the rest, and leaves it at mode 0600.
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
