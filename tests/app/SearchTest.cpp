// Find (F3) and find-next (F4).
#include "app/Unit4.h"
#include "tests/support/app/WindowFixture.h"

#include <QAction>
#include <QCheckBox>
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
        form->OrdenarAgenda1->setChecked(false);
        form->OrdenarAgenda1Click();
        form->CargarAgenda(QString::fromStdString(writeBook("l.kbx", records)));
    }
    void find(const QString& text, bool caseSensitive) {
        withModal([&] { press(Qt::Key_F3); },
                  [&](QWidget* d) {
                      auto* edit = d->findChild<QLineEdit*>("buscar");
                      edit->clear();
                      edit->insert(text);
                      d->findChild<QCheckBox*>("OpcionBusqueda")->setChecked(caseSensitive);
                      QTest::mouseClick(d->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
                  });
    }
};

TEST_F(Search, TheDialogStartsCheckedAndEmpty) {
    start();
    EXPECT_EQ(form->Form4->windowTitle(), "Busqueda");
    EXPECT_TRUE(form->Form4->OpcionBusqueda->isChecked());
    EXPECT_EQ(form->Form4->OpcionBusqueda->text(),
              QString::fromUtf8("Sensible a mayúsculas y minusculas."));
    EXPECT_TRUE(form->Form4->buscar->text().isEmpty());
}

TEST_F(Search, MatchesWholeNamesByteForByteOrWithAsciiUpperCasing) {
    start();
    load({"Ana", "ana", "JOS\xC9", "JOSE", "Juan P\xE9rez"});
    find("ana", true);
    EXPECT_EQ(form->SelectedRows(), std::vector<int>{1});
    find("ana", false);
    EXPECT_EQ(form->SelectedRows(), std::vector<int>{0});
    find(QString::fromUtf8("josé"), false);
    EXPECT_TRUE(form->SelectedRows().empty()); // é is not folded
    find("jose", false);
    EXPECT_EQ(form->SelectedRows(), std::vector<int>{3});
    find("Juan", true);
    EXPECT_TRUE(form->SelectedRows().empty()); // no prefix match
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_EQ(form->Form4->buscar->text(), "Juan"); // kept for the next opening
}

TEST_F(Search, ASearchLeavesExactlyOneRowSelected) {
    start();
    load({"a", "b", "c", "b"});
    form->SeleccionarTodo1->trigger();
    find("b", true);
    EXPECT_EQ(form->SelectedRows(), std::vector<int>{1});
    EXPECT_TRUE(form->Cortar->isEnabled());
    EXPECT_EQ(IndiceElegido, 1);
}

TEST_F(Search, FindNextGoesOnAfterTheFoundRowToTheLastAndStops) {
    start();
    load({"x", "Eva", "y", "eva", "z", "EVA"});
    EXPECT_FALSE(form->BuscarSiguiente->isEnabled());
    find("eva", false);
    EXPECT_EQ(form->SelectedRows(), std::vector<int>{1});
    EXPECT_TRUE(form->BuscarSiguiente->isEnabled());
    press(Qt::Key_F4);
    EXPECT_EQ(form->SelectedRows(), std::vector<int>{3});
    EXPECT_TRUE(form->BuscarSiguiente->isEnabled());
    press(Qt::Key_F4); // the last match is the last row
    EXPECT_EQ(form->SelectedRows(), std::vector<int>{5});
    EXPECT_FALSE(form->BuscarSiguiente->isEnabled());
    EXPECT_TRUE(form->Buscar->isEnabled());
    EXPECT_EQ(form->state.PosBusqueda, 0);
    EXPECT_TRUE(form->state.SeguirBuscando);
}

TEST_F(Search, NothingFoundSelectsNothingAndOffersNoFindNext) {
    start();
    load({"a", "b"});
    find("b", true);
    find("nadie", true);
    EXPECT_TRUE(form->SelectedRows().empty());
    EXPECT_FALSE(form->BuscarSiguiente->isEnabled());
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(Search, SearchingAnEmptyBookChangesNothing) {
    start();
    form->Nueva->trigger();
    form->Buscar->setEnabled(true);
    find("a", true);
    EXPECT_TRUE(names().empty());
    EXPECT_FALSE(form->BuscarSiguiente->isEnabled());
    withModal([&] { form->Buscar->trigger(); },
              [&](QWidget* d) {
                  QTest::mouseClick(d->findChild<QPushButton*>("BitBtn2"),
                                    Qt::LeftButton); // cancel
                  EXPECT_FALSE(d->isVisible());
              });
}
