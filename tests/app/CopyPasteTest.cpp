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
        open(writeBook(file, records));
    }
};

TEST_F(CopyPaste, CopyThreeOfFiveAndPaste) {
    start();
    load({"a", "b", "c", "d", "e"});
    clickRow(0);
    clickRow(2, Qt::ControlModifier);
    clickRow(4, Qt::ControlModifier);
    press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(asksToSaveChanges()); // copy alone marks the book
    EXPECT_FALSE(action("copiar")->isEnabled());
    EXPECT_TRUE(action("Pegar")->isEnabled());
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "a", "b", "c", "c", "d", "e", "e"}));
    for (const ContactRecord& r : rows())
        EXPECT_EQ(r[FieldIndex(Field::telefono)], "tel " + r[0]);
    EXPECT_TRUE(action("copiar")->isEnabled());
    EXPECT_FALSE(action("Pegar")->isEnabled());
    EXPECT_EQ(selectedRows(), (std::vector<int>{0, 3, 6})); // the same rows as before
}

TEST_F(CopyPaste, ANewerCopyReplacesTheOlderAndEachCopyPastesOnce) {
    start();
    load({"a", "b", "c"});
    clickRow(0);
    trigger("copiar");
    clickRow(1);
    trigger("copiar");
    trigger("Pegar");
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b", "b", "c"}));
    action("Pegar")->setEnabled(true); // even if offered again, the buffer is empty now
    trigger("Pegar");
    EXPECT_EQ(names().size(), 4u);
}

TEST_F(CopyPaste, TheBufferSurvivesNewAndOpenAndPasteDoesNotMarkTheBook) {
    start();
    load({"a", "b"});
    trigger("SeleccionarTodo1");
    trigger("copiar");
    platform.yesNo = {false};
    trigger("Nueva");
    trigger("Pegar");
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
    // Across an Open too; the pasted rows do not make the opened book modified.
    clickRow(1);
    trigger("copiar");
    platform.yesNo = {false};
    platform.openNames = {QString::fromStdString(writeBook("otro.kbx", {Record("z")}))};
    trigger("Abrir");
    trigger("Pegar");
    EXPECT_EQ(names(), (std::vector<std::string>{"b", "z"}));
    EXPECT_FALSE(asksToSaveChanges());
}

TEST_F(CopyPaste, CutRemovesRowsAndLeavesTheBufferAlone) {
    start();
    load({"a", "b", "c"});
    clickRow(0);
    trigger("copiar");
    clickRow(2);
    press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(action("Pegar")->isEnabled());
    trigger("Pegar");
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "a", "b"}));
    // The pop-up's "&Borrar Registro" runs cut.
    clickRow(2);
    action("BorrarRegistroPopup")->trigger();
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "a"}));
    EXPECT_EQ(action("BorrarRegistroPopup")->shortcut(), QKeySequence(Qt::Key_Delete));
}

TEST_F(CopyPaste, PastedRowsGoToTheirPlacesOrLastInCopyOrder) {
    struct Row {
        const char* name;
        bool ordering;
        int count;
    } rows[] = {{"ordering on, a few", true, 3},
                {"ordering on, many", true, 200},
                {"ordering off", false, 3}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        start();
        if (!row.ordering)
            trigger("OrdenarAgenda1");
        std::vector<ContactRecord> book;
        std::vector<std::string> fileOrder;
        for (int i = 0; i < row.count; ++i) {
            fileOrder.push_back("n" + std::to_string((i * 37 + 1) % row.count));
            book.push_back(Record(fileOrder.back(), "tel " + fileOrder.back()));
        }
        open(writeBook("l.kbx", book));
        trigger("SeleccionarTodo1");
        trigger("copiar");
        trigger("Pegar");
        std::vector<std::string> expected;
        if (row.ordering) {
            expected = fileOrder;
            expected.insert(expected.end(), fileOrder.begin(), fileOrder.end());
            std::stable_sort(expected.begin(), expected.end());
        } else {
            expected = names(); // compared below with the file order twice
            std::vector<std::string> twice = fileOrder;
            twice.insert(twice.end(), fileOrder.begin(), fileOrder.end());
            EXPECT_EQ(expected, twice);
        }
        EXPECT_EQ(names(), expected);
        for (const ContactRecord& r : this->rows())
            EXPECT_EQ(r[FieldIndex(Field::telefono)], "tel " + r[0]);
        form.reset();
    }
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
