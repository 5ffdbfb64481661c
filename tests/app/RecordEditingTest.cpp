// The add and modify dialogs and the delete command.
#include "app/Unit3.h"
#include "app/add.h"
#include "tests/support/app/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

using namespace veldrano;
using veldrano::test::WindowTest;

class RecordEditing : public WindowTest {
  protected:
    QLineEdit* field(QWidget* dialog, const char* name) {
        return dialog->findChild<QLineEdit*>(name);
    }
    void ok(QWidget* dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
    }
    void cancel(QWidget* dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton*>("BitBtn2"), Qt::LeftButton);
    }
    void add(const QString& name, const QString& phone = {}) {
        withModal([&] { press(Qt::Key_F1, Qt::ControlModifier); },
                  [&](QWidget* d) {
                      QTest::keyClicks(field(d, "nombre"), name);
                      QTest::keyClicks(field(d, "telefono"), phone);
                      ok(d);
                  });
    }
    void modify(const std::function<void(QWidget*)>& edit) {
        withModal([&] { press(Qt::Key_F3, Qt::ControlModifier); },
                  [&](QWidget* d) {
                      edit(d);
                      ok(d);
                  });
    }
};

TEST_F(RecordEditing, DialogsHaveTheirCaptionsPagesAndNoDefaultButton) {
    start();
    for (RecordDialog* d :
         {static_cast<RecordDialog*>(form->Form2), static_cast<RecordDialog*>(form->Form3)}) {
        EXPECT_EQ(d->BitBtn1->text(), "&Aceptar");
        EXPECT_EQ(d->BitBtn2->text(), "&Cancelar");
        EXPECT_FALSE(d->BitBtn1->isDefault() || d->BitBtn1->autoDefault() ||
                     d->BitBtn2->autoDefault());
        EXPECT_EQ(d->minimumSize(), d->maximumSize()); // fixed size
        std::vector<QString> labels;
        for (QLabel* l : d->findChildren<QLabel*>())
            labels.push_back(l->text());
        EXPECT_EQ(labels.size(), 11u);
        EXPECT_EQ(d->findChild<QPushButton*>("TabSheet1")->text(), "Personal");
        EXPECT_EQ(d->findChild<QPushButton*>("TabSheet2")->text(), "Negocios");
    }
    EXPECT_EQ(form->Form2->windowTitle(), "Agregar Registro");
    EXPECT_EQ(form->Form3->windowTitle(), "Modificar Registro");
    // Each edit holds its own field, whatever its place on the page.
    EXPECT_EQ(form->Form2->edit(FieldIndex(Field::cp))->objectName(), "cp");
    EXPECT_EQ(form->Form2->edit(FieldIndex(Field::web))->objectName(), "web");
}

TEST_F(RecordEditing, AddNeedsANameKeepsTheDialogAndMarksTheBook) {
    start();
    form->Nueva->trigger();
    withModal([&] { press(Qt::Key_F1, Qt::ControlModifier); },
              [&](QWidget* d) {
                  QTest::keyClicks(field(d, "telefono"), "555");
                  ok(d);
                  EXPECT_TRUE(d->isVisible());
                  ASSERT_EQ(platform.shown.size(), 1u);
                  EXPECT_EQ(platform.shown[0].text, "Debe rellenar el campo Nombre");
                  EXPECT_EQ(platform.shown[0].title, "Error");
                  EXPECT_EQ(platform.shown[0].icon, PlatformServices::Icon::None);
                  QTest::keyClick(d, Qt::Key_Escape); // no cancel button: Escape does nothing
                  EXPECT_TRUE(d->isVisible());
                  QTest::keyClicks(field(d, "nombre"), " ");
                  ok(d);
                  EXPECT_FALSE(d->isVisible());
              });
    ASSERT_EQ(rows().size(), 1u);
    ContactRecord expected{};
    expected[0] = " ";
    expected[FieldIndex(Field::telefono)] = "555";
    EXPECT_EQ(rows()[0], expected);
    EXPECT_TRUE(form->state.Modificado);
    EXPECT_TRUE(form->state.ListaActivada);
    for (QAction* a : {form->Guardar, form->GuardarComo, form->imprimir, form->SeleccionarTodo1,
                       form->Buscar, form->BorrarAgenda})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(
        form->Form2->edit(FieldIndex(Field::telefono))->text().isEmpty()); // emptied after OK
}

TEST_F(RecordEditing, ACancelledAddKeepsItsTextForTheNextOpening) {
    start();
    form->Nueva->trigger();
    withModal([&] { form->AgregarReg->trigger(); },
              [&](QWidget* d) {
                  field(d, "nombre")->insert(QString::fromUtf8("Íñigo"));
                  cancel(d);
              });
    EXPECT_TRUE(rows().empty());
    EXPECT_FALSE(form->state.Modificado);
    withModal([&] { form->AgregarReg->trigger(); },
              [&](QWidget* d) {
                  EXPECT_EQ(field(d, "nombre")->text(), QString::fromUtf8("Íñigo"));
                  ok(d);
              });
    EXPECT_EQ(names(), std::vector<std::string>{"\xCD\xF1igo"}); // stored in Windows-1252
}

TEST_F(RecordEditing, AddedRecordsTakeTheirPlaceByNameOrGoLast) {
    start();
    form->Nueva->trigger();
    for (const char* n : {"Marta", "Ana", "Zoe"})
        add(n);
    EXPECT_EQ(names(), (std::vector<std::string>{"Ana", "Marta", "Zoe"}));
    clickRow(2);
    form->OrdenarAgenda1->trigger();
    add("Bea");
    EXPECT_EQ(names(), (std::vector<std::string>{"Ana", "Marta", "Zoe", "Bea"}));
    EXPECT_EQ(form->SelectedRows(), std::vector<int>{2}); // the new row is not selected
}

TEST_F(RecordEditing, ModifyChangesTheFirstSelectedRecordAndMayClearTheName) {
    start();
    form->CargarAgenda(QString::fromStdString(
        writeBook("l.kbx", {Record("a"), Record("b", "1"), Record("c"), Record("d")})));
    clickRow(1);
    clickRow(2, Qt::ControlModifier);
    clickRow(3, Qt::ControlModifier);
    modify([&](QWidget* d) {
        EXPECT_EQ(field(d, "nombre")->text(), "b");
        EXPECT_EQ(field(d, "telefono")->text(), "1");
        field(d, "telefono")->setText("2");
        field(d, "oficina")->setText("Planta 3");
    });
    EXPECT_EQ(rows()[1][FieldIndex(Field::telefono)], "2");
    EXPECT_EQ(rows()[1][FieldIndex(Field::oficina)], "Planta 3");
    EXPECT_EQ(form->SelectedRows(), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(form->state.Modificado);
    modify([&](QWidget* d) { field(d, "nombre")->clear(); });
    EXPECT_EQ(names(), (std::vector<std::string>{"", "a", "c", "d"})); // re-sorted by the new name
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(RecordEditing, ModifyWithOrderingOffKeepsTheRowAndACancelLeavesItAlone) {
    start();
    form->OrdenarAgenda1->trigger();
    form->CargarAgenda(QString::fromStdString(writeBook("l.kbx", {Record("b"), Record("a")})));
    clickRow(0);
    modify([&](QWidget* d) { field(d, "nombre")->setText("z"); });
    EXPECT_EQ(names(), (std::vector<std::string>{"z", "a"}));
    form->state.Modificado = false;
    withModal([&] { form->ModificarReg->trigger(); },
              [&](QWidget* d) {
                  field(d, "nombre")->setText("nunca");
                  cancel(d);
              });
    EXPECT_EQ(names(), (std::vector<std::string>{"z", "a"}));
    EXPECT_FALSE(form->state.Modificado);
}

TEST_F(RecordEditing, ModifyWithoutAChosenRecordWarns) {
    start();
    form->CargarAgenda(QString::fromStdString(writeBook("l.kbx", {Record("a"), Record("b")})));
    clickRow(0);
    form->DeselectAll();
    expectNoModal([&] {
        form->ModificarReg->setEnabled(true);
        form->ModificarReg->trigger();
    });
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, "Debe elegir el componente a modificar de la lista");
    EXPECT_EQ(platform.shown[0].title, "Aviso");
    EXPECT_EQ(platform.shown[0].icon, PlatformServices::Icon::Error);
}

TEST_F(RecordEditing, DeleteRemovesEverySelectedRowWithoutAsking) {
    start();
    form->CargarAgenda(QString::fromStdString(
        writeBook("l.kbx", {Record("a"), Record("b"), Record("c"), Record("d"), Record("e")})));
    form->SeleccionarTodo1->trigger();
    form->DeselectRow(2);
    press(Qt::Key_Delete);
    EXPECT_EQ(names(), std::vector<std::string>{"c"});
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_TRUE(form->state.Modificado);
    EXPECT_FALSE(form->state.BorradoUltimo);
    EXPECT_FALSE(form->EliminarReg->isEnabled());
    EXPECT_TRUE(form->Guardar->isEnabled());
}

TEST_F(RecordEditing, DeletingTheLastRecordDisablesTheBookCommands) {
    start();
    form->Nueva->trigger();
    add("Eva");
    clickRow(0);
    press(Qt::Key_Delete);
    EXPECT_TRUE(names().empty());
    EXPECT_TRUE(form->state.BorradoUltimo);
    for (QAction* a : {form->BorrarAgenda, form->imprimir, form->Guardar, form->GuardarComo,
                       form->SeleccionarTodo1, form->Buscar})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
}

TEST_F(RecordEditing, ACharacterTheCodePageCannotHoldIsRefused) {
    start();
    form->Nueva->trigger();
    withModal([&] { form->AgregarReg->trigger(); },
              [&](QWidget* d) {
                  field(d, "nombre")->insert(QString::fromUtf8("Ana €"));
                  field(d, "nombre")->insert(QString::fromUtf8("Ω"));
                  EXPECT_EQ(field(d, "nombre")->text(), QString::fromUtf8("Ana €"));
                  ASSERT_EQ(platform.shown.size(), 1u);
                  EXPECT_TRUE(platform.shown[0].text.contains(QString::fromUtf8("«Ω»")));
                  ok(d);
              });
    EXPECT_EQ(names(), std::vector<std::string>{"Ana \x80"});
}
