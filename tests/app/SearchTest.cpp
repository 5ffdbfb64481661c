// Find (F3) and find-next (F4).
#include "tests/support/app/WindowFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace veldrano;
using veldrano::test::WindowTest;

class Search : public WindowTest {
  protected:
    void load(const std::vector<const char*>& list) {
        std::vector<ContactRecord> records;
        for (const char* n : list)
            records.push_back(Record(n));
        trigger("OrdenarAgenda1"); // the file order is the list order
        open(writeBook("l.kbx", records));
    }
    void find(const QString& text, bool caseSensitive) {
        withModal([&] { press(Qt::Key_F3); },
                  [&](QWidget* d) {
                      type(d, "buscar", text);
                      d->findChild<QCheckBox*>("OpcionBusqueda")->setChecked(caseSensitive);
                      click(d, "BitBtn1");
                  });
    }
};

TEST_F(Search, TheDialogStartsCheckedAndEmptyAndKeepsWhatWasTyped) {
    start();
    auto* d = form->findChild<QDialog*>("Form4");
    EXPECT_EQ(d->windowTitle(), "Busqueda");
    auto* option = d->findChild<QCheckBox*>("OpcionBusqueda");
    EXPECT_TRUE(option->isChecked());
    EXPECT_EQ(option->text(), QString::fromUtf8("Sensible a mayúsculas y minusculas."));
    EXPECT_TRUE(d->findChild<QLineEdit*>("buscar")->text().isEmpty());
    load({"Ana", "ana", "JOS\xC9", "JOSE"});
    find("ana", true);
    EXPECT_EQ(selectedRows(), std::vector<int>{1});
    find("ana", false);
    EXPECT_EQ(selectedRows(), std::vector<int>{0});
    find(QString::fromUtf8("josé"), false);
    EXPECT_TRUE(selectedRows().empty());
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_EQ(d->findChild<QLineEdit*>("buscar")->text(), QString::fromUtf8("josé"));
}

TEST_F(Search, ASearchLeavesExactlyOneRowSelectedAndChosen) {
    start();
    load({"a", "b", "c", "b"});
    trigger("SeleccionarTodo1");
    find("b", true);
    EXPECT_EQ(selectedRows(), std::vector<int>{1});
    EXPECT_TRUE(action("Cortar")->isEnabled());
    EXPECT_EQ(recordModifyShows()[0], "b");
}

TEST_F(Search, FindNextGoesOnAfterTheFoundRowToTheLastAndStops) {
    start();
    load({"x", "Eva", "y", "eva", "z", "EVA"});
    EXPECT_FALSE(action("BuscarSiguiente")->isEnabled());
    find("eva", false);
    EXPECT_EQ(selectedRows(), std::vector<int>{1});
    EXPECT_TRUE(action("BuscarSiguiente")->isEnabled());
    press(Qt::Key_F4);
    EXPECT_EQ(selectedRows(), std::vector<int>{3});
    EXPECT_TRUE(action("BuscarSiguiente")->isEnabled());
    press(Qt::Key_F4); // the last match is the last row
    EXPECT_EQ(selectedRows(), std::vector<int>{5});
    EXPECT_FALSE(action("BuscarSiguiente")->isEnabled());
    EXPECT_TRUE(action("Buscar")->isEnabled());
}

TEST_F(Search, NothingFoundSelectsNothingAndOffersNoFindNext) {
    start();
    load({"a", "b"});
    find("b", true);
    find("nadie", true);
    EXPECT_TRUE(selectedRows().empty());
    EXPECT_FALSE(action("BuscarSiguiente")->isEnabled());
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(Search, SearchingAnEmptyBookChangesNothing) {
    start();
    trigger("Nueva");
    action("Buscar")->setEnabled(true);
    find("a", true);
    EXPECT_TRUE(names().empty());
    EXPECT_FALSE(action("BuscarSiguiente")->isEnabled());
    withModal([&] { trigger("Buscar"); },
              [&](QWidget* d) {
                  click(d, "BitBtn2");
                  EXPECT_FALSE(d->isVisible());
              });
}

// Find-next belongs to the book it searched and to the row it found: it follows that row
// when the list re-sorts, and ends when the row or the book goes.
TEST_F(Search, FindNextFollowsItsMatchAndEndsWithItsBook) {
    start();
    load({"x", "Eva", "y", "Eva", "Eva"});
    find("Eva", true);
    trigger("OrdenarAgenda1"); // sorted: Eva, Eva, Eva, x, y; the match was the first Eva
    EXPECT_EQ(names(), (std::vector<std::string>{"Eva", "Eva", "Eva", "x", "y"}));
    EXPECT_EQ(selectedRows(), std::vector<int>{0});
    press(Qt::Key_F4);
    EXPECT_EQ(selectedRows(), std::vector<int>{1});
    // Another book: F4 is off, until a search in it finds something.
    for (const char* command : {"Nueva", "Abrir"}) {
        SCOPED_TRACE(command);
        platform.yesNo = {false};
        platform.openNames = {QString::fromStdString(path("l.kbx"))};
        trigger(command);
        EXPECT_FALSE(action("BuscarSiguiente")->isEnabled());
        platform.yesNo.clear();
        platform.openNames.clear();
        if (names().empty())
            continue;
        find("Eva", true);
        EXPECT_TRUE(action("BuscarSiguiente")->isEnabled());
    }
    // The matched row deleted: nothing left to go on from.
    press(Qt::Key_Delete);
    EXPECT_FALSE(action("BuscarSiguiente")->isEnabled());
}
