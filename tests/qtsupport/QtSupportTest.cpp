// The Qt helpers every dialog shares.
#include "qtsupport/GeneralError.h"
#include "qtsupport/Translations.h"
#include "tests/support/TempDir.h"
#include "tests/support/app/QtApp.h"
#include "tests/support/app/ScriptedPlatform.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
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

namespace {

// Every caption a user can read in a dialog, shown or behind "Opciones >>": labels,
// buttons, group titles, list items, tab texts, hints.
QSet<QString> Captions(QWidget& dialog) {
    QSet<QString> texts{dialog.windowTitle()};
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        texts << w->toolTip();
        if (auto* l = qobject_cast<QLabel*>(w))
            texts << l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            texts << b->text();
        if (auto* g = qobject_cast<QGroupBox*>(w))
            texts << g->title();
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                texts << c->itemText(i);
        if (auto* t = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i)
                texts << t->tabText(i);
    }
    texts.remove(QString());
    return texts;
}

QSet<QString> DialogCaptions() {
    QPrinter printer;
    QPrintDialog print(&printer);
    QSet<QString> texts = Captions(print);
    for (auto mode : {QFileDialog::AcceptOpen, QFileDialog::AcceptSave}) {
        QFileDialog files;
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.setAcceptMode(mode);
        texts += Captions(files);
    }
    return texts;
}

// Paper names, numbers, paths and words that Spanish writes as English does.
bool LanguageNeutral(const QString& text) {
    static const QRegularExpression word(QStringLiteral("\\p{L}{3,}"));
    if (!word.match(text).hasMatch() || text.startsWith(QLatin1Char('/')) ||
        text == QLatin1String("Color"))
        return true;
    for (int id = 0; id <= QPageSize::LastPageSize; ++id)
        if (QPageSize(static_cast<QPageSize::PageSizeId>(id)).name() == text)
            return true;
    return false;
}

} // namespace

TEST(Translations, ThePrintAndFileDialogsShowNoEnglishCaption) {
    test::EnsureQApplication();
    const QSet<QString> english = DialogCaptions();
    ASSERT_TRUE(english.contains(QStringLiteral("Pages"))); // the walk reaches the options
    ASSERT_TRUE(InstallSpanishToolkitTexts(*QCoreApplication::instance()));
    QStringList untranslated;
    for (const QString& text : DialogCaptions())
        if (english.contains(text) && !LanguageNeutral(text))
            untranslated << text;
    EXPECT_TRUE(untranslated.isEmpty()) << untranslated.join(QStringLiteral(" | ")).toStdString();
}
