// The mail password in the desktop's keyring: a real Secret Service (GNOME Keyring in a
// session of the test's own), and sessions without one, where correo.cfg stays its store.
#include "maildialog/MailSettings.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestKeyring.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace veldrano;
using veldrano::test::TempDir;

namespace {

class MailKeyring : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
        std::filesystem::create_directories(dir.file("veldrano"));
    }
    std::string cfg() const { return test::ReadFileBytes(file); }
    unsigned mode() const {
        struct stat st {};
        ::stat(file.c_str(), &st);
        return st.st_mode & 0777;
    }
    TempDir dir;
    std::filesystem::path file = dir.file("veldrano/correo.cfg");
};

} // namespace

TEST_F(MailKeyring, ThePasswordLivesInTheKeyringAndTheThirdLineIsWrittenEmpty) {
    REQUIRE_TEST_SESSION("keyring");
    // An older file keeps its password on line 3: the dialog shows it, and the first write
    // moves it into the keyring.
    test::WriteFileBytes(file, "smtp.example\r\nlucia\r\nvieja\r\nextra 4\r\n");
    MailSettings settings = MailSettings::Load();
    EXPECT_EQ(settings.contrasena, "vieja");
    settings.Save();
    EXPECT_EQ(cfg(), "smtp.example\r\nlucia\r\n\r\nextra 4\r\n");
    EXPECT_EQ(mode(), 0600u);
    EXPECT_EQ(test::SecretToolLookup("smtp:lucia@smtp.example"), "vieja");
    EXPECT_EQ(MailSettings::Load().contrasena, "vieja");

    // A new password, in the code page, reaches the keyring as UTF-8 and comes back.
    settings.contrasena = "contrase\xF1"
                          "a";
    settings.Save();
    EXPECT_EQ(cfg(), "smtp.example\r\nlucia\r\n\r\nextra 4\r\n");
    EXPECT_EQ(test::SecretToolLookup("smtp:lucia@smtp.example"), "contraseña");
    EXPECT_EQ(MailSettings::Load().contrasena, "contrase\xF1"
                                               "a");

    // Another server or user is another item; an emptied password is forgotten.
    settings.servidor = "otro.example:465";
    settings.Save();
    EXPECT_EQ(test::SecretToolLookup("smtp:lucia@otro.example:465"), "contraseña");
    settings.contrasena.clear();
    settings.Save();
    EXPECT_EQ(test::SecretToolLookup("smtp:lucia@otro.example:465"), "");
    EXPECT_EQ(MailSettings::Load().contrasena, "");
    EXPECT_EQ(cfg(), "otro.example:465\r\nlucia\r\n\r\nextra 4\r\n");

    // What another program put in the keyring fills an empty third line.
    ASSERT_TRUE(test::SecretToolStore("smtp:ana@smtp.example", "de fuera"));
    test::WriteFileBytes(file, "smtp.example\r\nana\r\n\r\n");
    EXPECT_EQ(MailSettings::Load().contrasena, "de fuera");
}

TEST_F(MailKeyring, WithoutAKeyringTheThirdLineStaysTheStoreAndNothingWaits) {
    REQUIRE_TEST_SESSION("bus", "none");
    test::WriteFileBytes(file, "smtp.example\r\nlucia\r\n\r\nextra 4\r\n");
    ::chmod(file.c_str(), 0644);
    const auto start = std::chrono::steady_clock::now();
    MailSettings settings = MailSettings::Load();
    EXPECT_EQ(settings.contrasena, "");
    settings.contrasena = "contrase\xF1"
                          "a";
    settings.Save();
    EXPECT_EQ(cfg(), "smtp.example\r\nlucia\r\ncontrase\xF1"
                     "a\r\nextra 4\r\n");
    EXPECT_EQ(mode(), 0600u);
    EXPECT_EQ(MailSettings::Load().contrasena, "contrase\xF1"
                                               "a");
    settings.contrasena.clear();
    settings.Save();
    EXPECT_EQ(cfg(), "smtp.example\r\nlucia\r\n\r\nextra 4\r\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}
