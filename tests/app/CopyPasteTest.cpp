// Copy, cut and paste of records inside the window; the system clipboard is never used.
#include "tests/support/app/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>

using namespace veldrano;
using veldrano::test::WindowTest;

class CopyPaste : public WindowTest {
  protected:
    void load(const std::vector<const char*>& list, const std::string& file = "l.kbx") {
        std::vector<ContactRecord> records;
        for (const char* n : list)
            records.push_back(Record(n, std::string("tel ") + n));
        form->CargarAgenda(QString::fromStdString(writeBook(file, records)));
    }
};

TEST_F(CopyPaste, CopyThreeOfFiveAndPaste) {
    start();
    load({"a", "b", "c", "d", "e"});
    clickRow(0);
    clickRow(2, Qt::ControlModifier);
    clickRow(4, Qt::ControlModifier);
    press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(NumCopiados, 3);
    EXPECT_EQ(form->state.ListaCopia.size(), 33u);
    EXPECT_EQ(form->state.ListaCopia[11], "c");
    EXPECT_EQ(form->state.ListaCopia[13], "tel c");
    EXPECT_TRUE(form->state.Modificado);
    EXPECT_FALSE(form->copiar->isEnabled());
    EXPECT_TRUE(form->Pegar->isEnabled());
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "a", "b", "c", "c", "d", "e", "e"}));
    EXPECT_EQ(rows()[1][FieldIndex(Field::telefono)], "tel a");
    EXPECT_TRUE(form->copiar->isEnabled());
    EXPECT_FALSE(form->Pegar->isEnabled());
    EXPECT_TRUE(form->state.ListaCopia.empty());
    EXPECT_EQ(form->SelectedRows(), (std::vector<int>{0, 3, 6})); // the same rows as before
}

TEST_F(CopyPaste, ANewerCopyReplacesTheOlder) {
    start();
    load({"a", "b", "c"});
    clickRow(0);
    form->copiar->trigger();
    clickRow(1);
    form->copiar->trigger();
    form->Pegar->trigger();
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b", "b", "c"}));
}

TEST_F(CopyPaste, TheBufferSurvivesNewAndOpenAndPasteDoesNotMarkTheBook) {
    start();
    load({"a", "b"});
    form->SeleccionarTodo1->trigger();
    form->copiar->trigger();
    platform.yesNo = {false};
    form->Nueva->trigger();
    EXPECT_FALSE(form->state.Modificado);
    form->Pegar->trigger();
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(form->state.Modificado);
    // Across an Open too.
    clickRow(1);
    form->copiar->trigger();
    platform.yesNo = {false};
    platform.openNames = {QString::fromStdString(writeBook("otro.kbx", {Record("z")}))};
    form->Abrir->trigger();
    form->Pegar->trigger();
    EXPECT_EQ(names(), (std::vector<std::string>{"b", "z"}));
}

TEST_F(CopyPaste, CutRemovesRowsAndLeavesTheBufferAlone) {
    start();
    load({"a", "b", "c"});
    clickRow(0);
    form->copiar->trigger();
    clickRow(2);
    press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(form->Pegar->isEnabled());
    EXPECT_EQ(NumCopiados, 1);
    form->Pegar->trigger();
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "a", "b"}));
    // The pop-up's "&Borrar Registro" runs cut.
    clickRow(2);
    form->BorrarRegistroPopup->trigger();
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "a"}));
    EXPECT_EQ(form->BorrarRegistroPopup->shortcut(), QKeySequence(Qt::Key_Delete));
}

TEST_F(CopyPaste, WithOrderingOffPastedRowsGoLastInCopyOrder) {
    start();
    form->OrdenarAgenda1->trigger();
    load({"c", "a", "b"});
    form->SeleccionarTodo1->trigger();
    form->copiar->trigger();
    form->Pegar->trigger();
    EXPECT_EQ(names(), (std::vector<std::string>{"c", "a", "b", "c", "a", "b"}));
}

TEST_F(CopyPaste, ManyRowsPasteInNameOrder) {
    start();
    std::vector<ContactRecord> records;
    for (int i = 0; i < 200; ++i)
        records.push_back(Record("n" + std::to_string((i * 37) % 200)));
    form->CargarAgenda(QString::fromStdString(writeBook("l.kbx", records)));
    form->SeleccionarTodo1->trigger();
    form->copiar->trigger();
    form->Pegar->trigger();
    std::vector<std::string> n = names();
    ASSERT_EQ(n.size(), 400u);
    EXPECT_EQ(n[0], "n0");
    EXPECT_EQ(n[1], "n0");
    EXPECT_EQ(n[399], "n99");
}

TEST_F(CopyPaste, TheSystemClipboardIsNeverTouched) {
    start();
    QApplication::clipboard()->setText("ajeno");
    load({"a", "b"});
    clickRow(0);
    press(Qt::Key_C, Qt::ControlModifier);
    press(Qt::Key_C, Qt::ControlModifier); // copy is disabled now: the list must not copy either
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "ajeno");
}
