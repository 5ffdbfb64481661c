// Messages that quote what the user typed or chose reach the error box as UTF-8, whatever
// the code page holds them in: the box decodes UTF-8 and nothing else.
#include "files/TextFile.h"
#include "mail/IdRFCReply.h"
#include "mail/IdSMTP.h"
#include "maildialog/Unit6.h"
#include "qtsupport/GeneralError.h"
#include "tests/support/TempDir.h"
#include "tests/support/app/QtApp.h"
#include "tests/support/app/ScriptedPlatform.h"
#include "text/Charset.h"

#include <QLineEdit>
#include <cerrno>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

using namespace veldrano;

namespace {

struct Row {
    const char* name;
    std::function<void()> fail;
    std::string shown; // UTF-8, as the program's message is written
};

// The general error box's text for what the handler threw.
QString Shown(const std::function<void()>& handler) {
    test::ScriptedPlatform platform;
    GeneralError::Guard(nullptr, platform, handler);
    return platform.shown.empty() ? QString() : platform.shown.front().text;
}

std::string NoSuchFile() {
    return std::strerror(ENOENT) + std::string(".");
}

} // namespace

TEST(ErrorText, UserTextQuotedInAMessageIsShownAsTyped) {
    test::EnsureQApplication();
    test::TempDir dir;
    const std::string folder = dir.path().string();
    const Row rows[] = {
        // The server field as the edit holds it, in Windows-1252.
        {"ServerFieldWithEnye",
         [] {
             ParseServerText("espa\xF1"
                             "a:0");
         },
         "El servidor \"españa:0\" no es válido: el puerto debe ser un número de 1 a 65535."},
        {"ServerFieldWithEuro", [] { ParseServerText("[correo\x80.example"); },
         "El servidor \"[correo€.example\" no es válido: falta el corchete de cierre."},
        // A server that echoes an address with an accent: its words are cleaned, not guessed.
        {"AddressInTheServersWords",
         [] {
             TIdRFCReply reply;
             reply.ParseReply({"550 5.1.1 <jos\xE9@example.com> no existe"});
             throw EIdProtocolReplyError(reply.NumericCode(), reply.PrintableText());
         },
         "5.1.1 <jos?@example.com> no existe\r\n"},
        // File names are the system's UTF-8, or bytes of another system read in the code page.
        {"FileNameInUtf8", [&] { ReadTextLines(folder + "/año/Núñez.kbx"); },
         "Cannot open file \"" + folder + "/año/Núñez.kbx\". " + NoSuchFile()},
        {"FileNameOfAnotherSystem", [&] { ReadTextLines(folder + "/a\xF1o.kbx"); },
         "Cannot open file \"" + folder + "/año.kbx\". " + NoSuchFile()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        try {
            row.fail();
            ADD_FAILURE() << "nothing thrown";
        } catch (const std::exception& e) {
            EXPECT_TRUE(IsValidUtf8(e.what())) << e.what();
        }
        EXPECT_EQ(Shown(row.fail), GeneralError::WithFullStop(QString::fromStdString(row.shown)));
    }
}

TEST(ErrorText, ConectarShowsTheServerFieldAsTyped) {
    test::EnsureQApplication();
    test::ScriptedPlatform platform;
    TForm6 dialog(nullptr, platform);
    dialog.servidor->setText(QString::fromUtf8("españa:0"));
    dialog.conectarClick();
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text,
              QString::fromUtf8("No se ha podido establecer la conexión con el servidor.\n\n"
                                "El servidor \"españa:0\" no es válido: el puerto debe ser un "
                                "número de 1 a 65535."));
}
