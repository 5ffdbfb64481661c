// The add and modify dialogs, the delete command, and which record they act on.
#include "book/ContactFields.h"
#include "tests/support/app/WindowFixture.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace veldrano;
using veldrano::test::WindowTest;

class RecordEditing : public WindowTest {
  public:
    void add(const QString& name, const QString& phone = {}) {
        withModal([&] { press(Qt::Key_F1, Qt::ControlModifier); },
                  [&](QWidget* d) {
                      type(d, "nombre", name);
                      type(d, "telefono", phone);
                      click(d, "BitBtn1");
                  });
    }
    void modify(const std::function<void(QWidget*)>& edit) {
        withModal([&] { press(Qt::Key_F3, Qt::ControlModifier); },
                  [&](QWidget* d) {
                      edit(d);
                      click(d, "BitBtn1");
                  });
    }
    // The address F9 puts into the send-mail dialog.
    QString mailDestination() {
        QString destination;
        withModal([&] { press(Qt::Key_F9); },
                  [&](QWidget* d) {
                      destination = d->findChild<QLineEdit*>("destino")->text();
                      d->close();
                  });
        return destination;
    }
    void expectEnabled(std::initializer_list<const char*> names, bool on) const {
        for (const char* n : names)
            EXPECT_EQ(action(n)->isEnabled(), on) << n;
    }
};

TEST_F(RecordEditing, DialogsHaveTheirCaptionsPagesLabelsAndNoDefaultButton) {
    start();
    for (const char* name : {"Form2", "Form3"}) {
        auto* d = form->findChild<QDialog*>(name);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->findChild<QPushButton*>("BitBtn1")->text(), "&Aceptar");
        EXPECT_EQ(d->findChild<QPushButton*>("BitBtn2")->text(), "&Cancelar");
        for (QPushButton* b : d->findChildren<QPushButton*>())
            EXPECT_FALSE(b->isDefault() || b->autoDefault());
        EXPECT_EQ(d->minimumSize(), d->maximumSize()); // fixed size
        auto* pages = d->findChild<QTabWidget*>("PageControl1");
        ASSERT_NE(pages, nullptr);
        ASSERT_EQ(pages->count(), 2);
        EXPECT_EQ(pages->tabText(0), "Personal");
        EXPECT_EQ(pages->tabText(1), "Negocios");
        // Each edit is named after its field and labelled as the field table says.
        for (const FieldInfo& field : kFields) {
            auto* edit = d->findChild<QLineEdit*>(field.name);
            ASSERT_NE(edit, nullptr) << field.name;
            bool labelled = false;
            for (QLabel* l : d->findChildren<QLabel*>())
                labelled |= l->buddy() == edit && l->text() == QString::fromUtf8(field.dialogLabel);
            EXPECT_TRUE(labelled) << field.name;
        }
    }
    EXPECT_EQ(form->findChild<QDialog*>("Form2")->windowTitle(), "Agregar Registro");
    EXPECT_EQ(form->findChild<QDialog*>("Form3")->windowTitle(), "Modificar Registro");
}

TEST_F(RecordEditing, AddNeedsANameStartsTypingInNombreAndMarksTheBook) {
    start();
    trigger("Nueva");
    withModal([&] { press(Qt::Key_F1, Qt::ControlModifier); },
              [&](QWidget* d) {
                  // A keyboard user's first keys land in "Nombre:", the widget the dialog
                  // gives the keyboard to.
                  QTest::keyClicks(d->focusWidget(), "Eva");
                  EXPECT_EQ(d->findChild<QLineEdit*>("nombre")->text(), "Eva");
                  type(d, "nombre", "");
                  type(d, "telefono", "555");
                  click(d, "BitBtn1");
                  EXPECT_TRUE(d->isVisible());
                  ASSERT_EQ(platform.shown.size(), 1u);
                  EXPECT_EQ(platform.shown[0].text, "Debe rellenar el campo Nombre");
                  EXPECT_EQ(platform.shown[0].title, "Error");
                  EXPECT_EQ(platform.shown[0].icon, PlatformServices::Icon::None);
                  QTest::keyClick(d, Qt::Key_Escape); // no cancel button: Escape does nothing
                  EXPECT_TRUE(d->isVisible());
                  type(d, "nombre", " ");
                  click(d, "BitBtn1");
                  EXPECT_FALSE(d->isVisible());
              });
    ContactRecord expected{};
    expected[0] = " ";
    expected[FieldIndex(Field::telefono)] = "555";
    EXPECT_EQ(rows(), std::vector<ContactRecord>{expected});
    expectEnabled(
        {"Guardar", "GuardarComo", "imprimir", "SeleccionarTodo1", "Buscar", "BorrarAgenda"}, true);
    // Emptied after OK; the new book is offered for saving on New.
    withModal([&] { trigger("AgregarReg"); },
              [&](QWidget* d) {
                  EXPECT_TRUE(d->findChild<QLineEdit*>("telefono")->text().isEmpty());
                  click(d, "BitBtn2");
              });
}

TEST_F(RecordEditing, ACancelledAddKeepsItsTextForTheNextOpening) {
    start();
    trigger("Nueva");
    withModal([&] { trigger("AgregarReg"); },
              [&](QWidget* d) {
                  type(d, "nombre", QString::fromUtf8("Íñigo"));
                  click(d, "BitBtn2");
              });
    EXPECT_TRUE(rows().empty());
    withModal([&] { trigger("AgregarReg"); },
              [&](QWidget* d) {
                  EXPECT_EQ(d->findChild<QLineEdit*>("nombre")->text(), QString::fromUtf8("Íñigo"));
                  click(d, "BitBtn1");
              });
    EXPECT_EQ(names(), std::vector<std::string>{"\xCD\xF1igo"}); // stored in Windows-1252
}

TEST_F(RecordEditing, AddedRecordsTakeTheirPlaceByNameOrGoLast) {
    start();
    trigger("Nueva");
    for (const char* n : {"Marta", "Ana", "Zoe"})
        add(n);
    EXPECT_EQ(names(), (std::vector<std::string>{"Ana", "Marta", "Zoe"}));
    clickRow(2);
    trigger("OrdenarAgenda1");
    add("Bea");
    EXPECT_EQ(names(), (std::vector<std::string>{"Ana", "Marta", "Zoe", "Bea"}));
    EXPECT_EQ(selectedRows(), std::vector<int>{2}); // the new row is not selected
}

TEST_F(RecordEditing, ModifyChangesTheFirstSelectedRecordAndMayClearTheName) {
    start();
    open(writeBook("l.kbx", {Record("a"), Record("b", "1"), Record("c"), Record("d")}));
    clickRow(1);
    clickRow(2, Qt::ControlModifier);
    clickRow(3, Qt::ControlModifier);
    modify([&](QWidget* d) {
        EXPECT_EQ(d->findChild<QLineEdit*>("nombre")->text(), "b");
        EXPECT_EQ(d->findChild<QLineEdit*>("telefono")->text(), "1");
        type(d, "telefono", "2");
        type(d, "oficina", "Planta 3");
    });
    EXPECT_EQ(rows()[1][FieldIndex(Field::telefono)], "2");
    EXPECT_EQ(rows()[1][FieldIndex(Field::oficina)], "Planta 3");
    EXPECT_EQ(selectedRows(), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(asksToSaveChanges());
    modify([&](QWidget* d) { type(d, "nombre", ""); });
    EXPECT_EQ(names(), (std::vector<std::string>{"", "a", "c", "d"})); // re-sorted by the new name
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(RecordEditing, ModifyWithOrderingOffKeepsTheRowAndACancelLeavesItAlone) {
    start();
    trigger("OrdenarAgenda1");
    const std::string book = writeBook("l.kbx", {Record("b"), Record("a")});
    open(book);
    clickRow(0);
    withModal([&] { trigger("ModificarReg"); },
              [&](QWidget* d) {
                  type(d, "nombre", "nunca");
                  click(d, "BitBtn2");
              });
    EXPECT_EQ(names(), (std::vector<std::string>{"b", "a"}));
    EXPECT_FALSE(asksToSaveChanges());
    modify([&](QWidget* d) { type(d, "nombre", "z"); });
    EXPECT_EQ(names(), (std::vector<std::string>{"z", "a"}));
}

TEST_F(RecordEditing, ModifyWithoutAChosenRecordWarns) {
    start();
    open(writeBook("l.kbx", {Record("a"), Record("b")}));
    clickRow(0);
    list()->clearSelection();
    action("ModificarReg")->setEnabled(true); // as the pop-up menu could still offer it
    expectNoModal([&] { trigger("ModificarReg"); });
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, "Debe elegir el componente a modificar de la lista");
    EXPECT_EQ(platform.shown[0].title, "Aviso");
    EXPECT_EQ(platform.shown[0].icon, PlatformServices::Icon::Error);
}

// Whatever moves the rows (a rename, a large paste, ordering switched on), Modify and F9 act
// on the contact that is highlighted, never on the one that used to be at its row.
TEST_F(RecordEditing, ModifyAndMailActOnTheHighlightedRowAfterTheListReorders) {
    struct Row {
        const char* name;
        bool orderingOff;
        std::function<void(RecordEditing&)> reorder;
    } rows[] = {
        {"rename moves the row", false,
         [](RecordEditing& t) {
             t.clickRow(0); // "a"
             t.modify([](QWidget* d) { type(d, "nombre", "zz"); });
         }},
        {"a paste of many records", false,
         [](RecordEditing& t) {
             t.press(Qt::Key_Z, Qt::ControlModifier);
             t.press(Qt::Key_C, Qt::ControlModifier);
             t.clickRow(2); // "m"
             for (int i = 0; i < 2; ++i) {
                 t.press(Qt::Key_V, Qt::ControlModifier); // 40 rows, many sorting before "m"
                 t.press(Qt::Key_C, Qt::ControlModifier);
                 t.clickRow(static_cast<int>(t.names().size()) / 2);
             }
         }},
        {"ordering switched on", true,
         [](RecordEditing& t) {
             t.clickRow(0); // "z" in file order
             t.trigger("OrdenarAgenda1");
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        start();
        if (row.orderingOff)
            trigger("OrdenarAgenda1");
        std::vector<ContactRecord> book;
        for (const char* n : {"z", "a", "m", "b", "y"})
            book.push_back(Record(n, "", std::string(n) + "@correo.example"));
        for (int i = 0; i < 15; ++i)
            book.push_back(Record("c" + std::to_string(i)));
        open(writeBook("l.kbx", book));
        row.reorder(*this);
        ASSERT_EQ(selectedRows().size(), 1u);
        const ContactRecord highlighted = this->rows()[static_cast<size_t>(selectedRows()[0])];
        EXPECT_EQ(recordModifyShows(), highlighted);
        if (!highlighted[FieldIndex(Field::e_mail)].empty()) {
            EXPECT_EQ(mailDestination().toStdString(), highlighted[FieldIndex(Field::e_mail)]);
        }
        // And OK writes the edit into that very contact, and no other.
        modify([](QWidget* d) { type(d, "oficina", "elegido"); });
        int edited = 0;
        for (const ContactRecord& r : this->rows())
            edited += r[FieldIndex(Field::oficina)] == "elegido";
        EXPECT_EQ(edited, 1);
        EXPECT_EQ(this->rows()[static_cast<size_t>(selectedRows()[0])][FieldIndex(Field::oficina)],
                  "elegido");
        form.reset();
    }
}

TEST_F(RecordEditing, DeleteRemovesEverySelectedRowWithoutAsking) {
    start();
    open(writeBook("l.kbx", {Record("a"), Record("b"), Record("c"), Record("d"), Record("e")}));
    trigger("SeleccionarTodo1");
    clickRow(2, Qt::ControlModifier); // "c" out of the selection
    press(Qt::Key_Delete);
    EXPECT_EQ(names(), std::vector<std::string>{"c"});
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_FALSE(action("EliminarReg")->isEnabled());
    EXPECT_TRUE(action("Guardar")->isEnabled());
    EXPECT_TRUE(asksToSaveChanges());
}

TEST_F(RecordEditing, DeletingTheLastRecordDisablesTheBookCommands) {
    start();
    trigger("Nueva");
    add("Eva");
    clickRow(0);
    press(Qt::Key_Delete);
    EXPECT_TRUE(names().empty());
    expectEnabled(
        {"BorrarAgenda", "imprimir", "Guardar", "GuardarComo", "SeleccionarTodo1", "Buscar"},
        false);
}
