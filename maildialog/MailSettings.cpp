#include "maildialog/MailSettings.h"

#include "files/TextFile.h"
#include "keyring/Keyring.h"
#include "qtsupport/DataFolder.h"
#include "text/Charset.h"
#include "text/CodePage.h"

#include <optional>

namespace {

constexpr size_t kSettingLines = 3;

veldrano::Lines ReadSettingLines() {
    veldrano::Lines lines = veldrano::ReadTextLines(DataFolder::File("correo.cfg"));
    if (lines.size() < kSettingLines) {
        MailSettings partial;
        std::string* fields[] = {&partial.servidor, &partial.usuario, &partial.contrasena};
        for (size_t i = 0; i < lines.size(); ++i)
            *fields[i] = lines[i];
        throw MailSettingsShortFile(
            "List index out of bounds (" + std::to_string(lines.size()) + ")", partial);
    }
    return lines;
}

using veldrano::Keyring;

// The keyring speaks UTF-8; the settings are in the program's code page. Nothing when a text
// does not cross, and then the file keeps the password.
std::optional<std::string> ToUtf8(const std::string& bytes) {
    try {
        return veldrano::Charset::ForCodePage(veldrano::CurrentLocale().codePage).ToUtf8(bytes);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string KeyringPassword(const MailSettings& s) {
    const auto key = ToUtf8(Keyring::SmtpKey(s.usuario, s.servidor));
    if (!key)
        return {};
    const Keyring::Lookup found = Keyring::Read(*key, Keyring::kShortWait);
    if (found.answer != Keyring::Answer::Found)
        return {};
    try {
        return veldrano::Charset::ForCodePage(veldrano::CurrentLocale().codePage)
            .FromUtf8(found.secret);
    } catch (const std::exception&) {
        return {}; // a password this code page cannot hold could not be typed here either
    }
}

// True when the keyring now holds the password, so line 3 is to be written empty.
bool KeptInKeyring(const MailSettings& s) {
    const auto key = ToUtf8(Keyring::SmtpKey(s.usuario, s.servidor));
    if (!key)
        return false;
    if (s.contrasena.empty()) {
        Keyring::Remove(*key, Keyring::kShortWait);
        return true; // line 3 is empty either way
    }
    const auto password = ToUtf8(s.contrasena);
    const auto label = ToUtf8("VELDRANO: " + s.usuario + " en " + s.servidor);
    return password && label && Keyring::Store(*key, *label, *password, Keyring::kShortWait);
}

} // namespace

MailSettings MailSettings::Load() {
    const veldrano::Lines lines = ReadSettingLines();
    MailSettings settings{lines[0], lines[1], lines[2]};
    if (settings.contrasena.empty())
        settings.contrasena = KeyringPassword(settings);
    return settings;
}

void MailSettings::Save() const {
    veldrano::Lines lines = ReadSettingLines();
    lines[0] = servidor;
    lines[1] = usuario;
    lines[2] = KeptInKeyring(*this) ? std::string() : contrasena;
    veldrano::WriteTextLines(DataFolder::File("correo.cfg"), lines, veldrano::FileAccess::Private);
}
