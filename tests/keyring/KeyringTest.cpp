// The keyring against a real Secret Service (GNOME Keyring in a session of the test's own),
// and against sessions that have none.
#include "keyring/Keyring.h"
#include "tests/support/TestKeyring.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace veldrano;
using Clock = std::chrono::steady_clock;

TEST(Keyring, APasswordRoundTripsAndOtherProgramsReadIt) {
    REQUIRE_TEST_SESSION("keyring");
    const std::string key = Keyring::SmtpKey("lucía", "smtp.example:587");
    EXPECT_EQ(key, "smtp:lucía@smtp.example:587");
    EXPECT_EQ(Keyring::Read(key, Keyring::kShortWait).answer, Keyring::Answer::Missing);

    ASSERT_TRUE(Keyring::Store(key, "prueba", "contraseña €1", Keyring::kShortWait));
    EXPECT_EQ(test::SecretToolLookup(key), "contraseña €1");
    ASSERT_TRUE(Keyring::Store(key, "prueba", "otra", Keyring::kShortWait)); // replaces it
    const Keyring::Lookup found = Keyring::Read(key, Keyring::kShortWait);
    EXPECT_EQ(found.answer, Keyring::Answer::Found);
    EXPECT_EQ(found.secret, "otra");
    EXPECT_EQ(
        Keyring::Read(Keyring::SmtpKey("ana", "smtp.example:587"), Keyring::kShortWait).answer,
        Keyring::Answer::Missing); // another user's key is another item

    ASSERT_TRUE(test::SecretToolStore("carddav:ana@dav.example", "de otro programa"));
    EXPECT_EQ(Keyring::Read("carddav:ana@dav.example", Keyring::kShortWait).secret,
              "de otro programa");

    EXPECT_FALSE(Keyring::Store(key, "prueba", "\xF1", Keyring::kShortWait)); // not UTF-8
    EXPECT_TRUE(Keyring::Remove(key, Keyring::kShortWait));
    EXPECT_TRUE(Keyring::Remove(key, Keyring::kShortWait)); // gone already: still an answer
    EXPECT_EQ(Keyring::Read(key, Keyring::kShortWait).answer, Keyring::Answer::Missing);
    EXPECT_EQ(test::SecretToolLookup(key), "");
}

TEST(Keyring, WithoutAKeyringEveryCallSaysSoAtOnce) {
    REQUIRE_TEST_SESSION("bus", "none");
    const auto start = Clock::now();
    EXPECT_EQ(Keyring::Read("smtp:a@b", Keyring::kPatientWait).answer, Keyring::Answer::NoKeyring);
    EXPECT_FALSE(Keyring::Store("smtp:a@b", "prueba", "clave", Keyring::kPatientWait));
    EXPECT_FALSE(Keyring::Remove("smtp:a@b", Keyring::kPatientWait));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

TEST(Keyring, ACardDavAccountIsKeptByUserAndServer) {
    const struct {
        const char* url;
        const char* key;
    } rows[] = {
        {"https://dav.example/ana/contactos/", "carddav:ana@dav.example"},
        {"https://DAV.Example", "carddav:ana@dav.example"},
        {"http://127.0.0.1:5232/", "carddav:ana@127.0.0.1:5232"},
        {"https://otro@dav.example:8443/?x#y", "carddav:ana@dav.example:8443"},
        {"https://[::1]:5232/libro/", "carddav:ana@[::1]:5232"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Keyring::CardDavKey("ana", row.url), row.key) << row.url;
}
