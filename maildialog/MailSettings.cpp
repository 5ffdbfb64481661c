#include "maildialog/MailSettings.h"

#include "files/TextFile.h"
#include "qtsupport/DataFolder.h"

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

} // namespace

MailSettings MailSettings::Load() {
    const veldrano::Lines lines = ReadSettingLines();
    return {lines[0], lines[1], lines[2]};
}

void MailSettings::Save() const {
    veldrano::Lines lines = ReadSettingLines();
    lines[0] = servidor;
    lines[1] = usuario;
    lines[2] = contrasena;
    veldrano::WriteTextLines(DataFolder::File("correo.cfg"), lines, veldrano::FileAccess::Private);
}
