// The Qt helpers every dialog shares.
#include "qtsupport/GeneralError.h"
#include "qtsupport/Translations.h"
#include "tests/support/TempDir.h"
#include "tests/support/app/QtApp.h"
#include "tests/support/app/ScriptedPlatform.h"

#include <QCoreApplication>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace veldrano;
using veldrano::test::TempDir;

TEST(GeneralError, AFullStopFollowsATextThatDoesNotEndInPunctuation) {
    struct Row {
        const char *text, *shown;
    } rows[] = {
        {"List index out of bounds (5)", "List index out of bounds (5)"},
        {"Cannot open file \"x\". No such file or directory.",
         "Cannot open file \"x\". No such file or directory."},
        {"Socket Error # 10061\r\nConnection refused.",
         "Socket Error # 10061\r\nConnection refused."},
        {"530 denied\r\n", "530 denied\r\n"},
        {"Read Timeout", "Read Timeout."},
        {"Max line length exceeded.", "Max line length exceeded."},
        {"", ""},
    };
    for (const Row& r : rows)
        EXPECT_EQ(GeneralError::WithFullStop(QString::fromUtf8(r.text)), QString::fromUtf8(r.shown))
            << r.text;
}

TEST(GeneralError, TheGuardShowsWhatAHandlerThrewAndGoesOn) {
    test::EnsureQApplication();
    test::ScriptedPlatform platform;
    bool after = false;
    GeneralError::Guard(nullptr, platform, [] { throw std::runtime_error("Read Timeout"); });
    GeneralError::Guard(nullptr, platform, [&] { after = true; });
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].title, "KTRVO");
    EXPECT_EQ(platform.shown[0].text, "Read Timeout.");
    EXPECT_EQ(platform.shown[0].icon, PlatformServices::Icon::Error);
    EXPECT_TRUE(after);
}

TEST(Translations, TheToolkitsOwnDialogsSpeakSpanish) {
    test::EnsureQApplication();
    ASSERT_TRUE(InstallSpanishToolkitTexts(*QCoreApplication::instance()));
    // Debian's translation of the toolkit, as it words them.
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Ver en:");
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "File &name:"), "&Nombre de fichero:");
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Open"), "&Abrir");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancelar");
}
