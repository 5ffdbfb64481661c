// A book whose file another program changes: reloaded when the window has no unsaved
// edits, with the chosen contact and the scroll position kept; asked about otherwise.
#include "files/TextFile.h"
#include "tests/support/BookText.h"
#include "tests/support/app/WindowFixture.h"

#include <QAbstractItemView>
#include <QTest>

using namespace veldrano;
using veldrano::test::WindowTest;

namespace {
const QString kReload = QString::fromUtf8("El archivo %1 ha cambiado en el disco. ¿Desea cargarlo "
                                          "de nuevo y perder los cambios realizados?");
} // namespace

class BookReload : public WindowTest {
  protected:
    // Another program writes the book: by a rename over it, as careful writers do, or in
    // place.
    void changeOnDisk(const std::string& p, const std::vector<ContactRecord>& records,
                      bool inPlace) {
        const std::string bytes = test::BookText({}, records);
        if (inPlace)
            test::WriteFileBytes(p, bytes);
        else
            WriteFileAtomically(p, bytes);
    }
    // Lets the window see the change, and the settling time pass.
    void settle() { QTest::qWait(800); }
};

TEST_F(BookReload, AnUnchangedBookFollowsItsFileKeepingTheChosenContact) {
    start();
    const std::string p = writeBook("libro.kbx", {Record("Ana"), Record("Eva"), Record("Luis")});
    open(p);
    for (bool inPlace : {false, true}) {
        clickRow(2); // Luis
        changeOnDisk(p,
                     {Record("Ana"), Record("Bea"), Record("Eva"), Record("Luis"),
                      Record(inPlace ? "Zoe" : "Yago")},
                     inPlace);
        QTRY_COMPARE_WITH_TIMEOUT(names().size(), size_t(5), 5000);
        EXPECT_EQ(names()[1], "Bea");
        EXPECT_EQ(selectedRows(), std::vector<int>{3}) << inPlace;
        EXPECT_EQ(status(), QString::fromStdString(p));
        EXPECT_FALSE(asksToSaveChanges());
        // The window's own save is nothing to reload or ask about.
        platform.clearShown();
        trigger("Guardar");
        settle();
        EXPECT_TRUE(platform.texts().empty());
        changeOnDisk(p, {Record("Ana"), Record("Eva"), Record("Luis")}, inPlace);
        QTRY_COMPARE_WITH_TIMEOUT(names().size(), size_t(3), 5000);
    }
}

TEST_F(BookReload, UnsavedEditsAreNotThrownAwayWithoutAsking) {
    start();
    const std::string p = writeBook("libro.kbx", {Record("Ana")});
    open(p);
    withModal([&] { trigger("AgregarReg"); },
              [&](QWidget* dialog) {
                  type(dialog, "nombre", QStringLiteral("Mia"));
                  click(dialog, "BitBtn1");
              });
    platform.clearShown();
    platform.yesNo = {false};
    changeOnDisk(p, {Record("Ana"), Record("Otro")}, false);
    QTRY_COMPARE_WITH_TIMEOUT(platform.texts().size(), size_t(1), 5000);
    EXPECT_EQ(platform.texts()[0], kReload.arg(QString::fromStdString(p)));
    settle();
    EXPECT_EQ(names(), (std::vector<std::string>{"Ana", "Mia"})); // "No" keeps them
    EXPECT_EQ(platform.texts().size(), 1u);                       // and is not asked again

    // A later change is asked about again; "Sí" loads it.
    platform.yesNo = {true};
    changeOnDisk(p, {Record("Ana"), Record("Otro"), Record("Pau")}, false);
    QTRY_COMPARE_WITH_TIMEOUT(names().size(), size_t(3), 5000);
    EXPECT_EQ(names(), (std::vector<std::string>{"Ana", "Otro", "Pau"}));
    EXPECT_FALSE(asksToSaveChanges());
}
