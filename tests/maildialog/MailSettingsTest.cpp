// The mail settings file the send-mail dialog reads and writes.
#include "maildialog/MailSettings.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace veldrano;
using veldrano::test::TempDir;

TEST(MailSettings, TheThreeLinesAreTheSettingsTheRestIsKeptAndTheFileStaysPrivate) {
    TempDir dir;
    ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    std::filesystem::create_directories(dir.file("veldrano"));
    const auto file = dir.file("veldrano/correo.cfg");
    test::WriteFileBytes(file, "smtp.example\r\nlucia\r\nsecreta\r\nextra 4\nextra 5\r\n");
    ::chmod(file.c_str(), 0644);
    MailSettings settings = MailSettings::Load();
    EXPECT_EQ(settings.servidor, "smtp.example");
    EXPECT_EQ(settings.usuario, "lucia");
    EXPECT_EQ(settings.contrasena, "secreta");
    settings.servidor = "otro.example:587";
    settings.contrasena = "contrase\xF1"
                          "a";
    settings.Save();
    EXPECT_EQ(test::ReadFileBytes(file), "otro.example:587\r\nlucia\r\ncontrase\xF1"
                                         "a\r\nextra 4\r\nextra 5\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // it holds a password, whatever mode it had

    test::WriteFileBytes(file, "solo.example\r\nlucia\r\n");
    try {
        MailSettings::Load();
        FAIL();
    } catch (const MailSettingsShortFile& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (2)");
        EXPECT_EQ(e.partial.servidor, "solo.example");
        EXPECT_EQ(e.partial.usuario, "lucia");
        EXPECT_EQ(e.partial.contrasena, "");
    }
    EXPECT_THROW(settings.Save(), MailSettingsShortFile);
    EXPECT_EQ(test::ReadFileBytes(file), "solo.example\r\nlucia\r\n");
}
