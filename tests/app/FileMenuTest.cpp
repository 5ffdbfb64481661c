// New, Open, Save, Save As, Clear book, Exit and the recent files, from each book state.
#include "files/TextFile.h"
#include "tests/support/app/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace veldrano;
using veldrano::test::ReadFileBytes;
using veldrano::test::WindowTest;
using veldrano::test::WriteFileBytes;

namespace {
const QString kSaveNew = QString::fromUtf8("Desea guardar el archivo nuevo que ha usado?");
const QString kSaveChanges = QString::fromUtf8("Desea guardar los cambios realizados?");
const QString kSaveNewAtExit =
    QString::fromUtf8("Desea guardar el archivo nuevo que estaba usando?");
} // namespace

class FileMenu : public WindowTest {
  protected:
    // A File book with two records, loaded.
    std::string openBook(const std::string& name = "libro.kbx") {
        std::string p = writeBook(name, {Record("Ana"), Record("Luis")});
        open(p);
        return p;
    }
    void addRecord(const std::string& name) {
        withModal([&] { trigger("AgregarReg"); },
                  [&](QWidget* dialog) {
                      type(dialog, "nombre", QString::fromStdString(name));
                      click(dialog, "BitBtn1");
                  });
    }
    std::vector<QString> questions() const {
        std::vector<QString> out;
        for (const auto& s : platform.shown)
            if (s.kind == test::ScriptedPlatform::Shown::Kind::Question)
                out.push_back(s.text);
        return out;
    }
};

TEST_F(FileMenu, NewFromStartAsksNothingAndStartsANewBook) {
    start();
    press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_EQ(status(), "Archivo Nuevo.");
    EXPECT_TRUE(action("AgregarReg")->isEnabled());
    EXPECT_TRUE(menu("Mantenimiento1")->menuAction()->isEnabled());
    for (const char* name : {"EliminarReg", "Guardar", "GuardarComo", "imprimir", "Buscar",
                             "SeleccionarTodo1", "BorrarAgenda"})
        EXPECT_FALSE(action(name)->isEnabled()) << name;
}

TEST_F(FileMenu, NewAsksForANewBookOnlyWhenItHasRows) {
    start();
    trigger("Nueva");
    trigger("Nueva"); // empty new book: dropped without a question
    EXPECT_TRUE(questions().empty());
    addRecord("Eva");
    EXPECT_TRUE(action("Guardar")->isEnabled());
    platform.yesNo = {true};
    platform.saveNames = {QString::fromStdString(path("nuevo"))};
    trigger("Nueva");
    EXPECT_EQ(questions(), std::vector<QString>{kSaveNew});
    EXPECT_EQ(platform.shown[0].title, "Aviso!");
    EXPECT_EQ(platform.shown[0].icon, PlatformServices::Icon::Question);
    EXPECT_EQ(ReadTextLines(path("nuevo.kbx")).at(12), "Eva");
    EXPECT_TRUE(names().empty());
    EXPECT_EQ(status(), "Archivo Nuevo.");
    // A new book again: saving it goes through Save As, whose cancel leaves the panel on the
    // path kept across New.
    addRecord("Ana");
    platform.saveNames = {std::nullopt};
    trigger("Guardar");
    EXPECT_EQ(status(), QString::fromStdString(path("nuevo.kbx")));
}

TEST_F(FileMenu, NewFromAFileBookAsksOnlyWhenModifiedAndSavingKeepsModified) {
    start();
    std::string p = openBook();
    trigger("Nueva");
    EXPECT_TRUE(questions().empty());
    openBook();
    clickRow(0);
    trigger("copiar"); // copy marks the book modified
    press(Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(status(), QString::fromStdString(p));
    platform.yesNo = {false};
    trigger("Nueva"); // a save does not clear the mark
    EXPECT_EQ(questions(), std::vector<QString>{kSaveChanges});
    platform.clearShown();
    trigger("Nueva");
    EXPECT_TRUE(questions().empty());
}

TEST_F(FileMenu, OpenAsksBeforeTheDialogAndACancelledDialogKeepsTheSave) {
    start();
    trigger("Nueva");
    addRecord("Eva");
    platform.yesNo = {true};
    platform.saveNames = {QString::fromStdString(path("guardado"))};
    platform.openNames = {std::nullopt};
    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(questions(), std::vector<QString>{kSaveNew});
    EXPECT_TRUE(std::filesystem::exists(path("guardado.kbx")));
    EXPECT_EQ(platform.dialogTitles.back(), "Abrir Agenda");
    // The book's own type first, the default; other programs' contacts after it.
    EXPECT_TRUE(platform.dialogFilters.back().startsWith("Archivos Agenda (*.kbx);;"));
    EXPECT_EQ(names(), std::vector<std::string>{"Eva"});
    // And a chosen file is loaded.
    std::string other = writeBook("otro.kbx", {Record("Zoe")});
    platform.openNames = {QString::fromStdString(other)};
    platform.yesNo = {false};
    trigger("Abrir");
    EXPECT_EQ(names(), std::vector<std::string>{"Zoe"});
}

TEST_F(FileMenu, SaveOfANewBookGoesThroughSaveAs) {
    start();
    trigger("Nueva");
    addRecord("Eva");
    platform.saveNames = {std::nullopt, QString::fromStdString(path("casa"))};
    trigger("Guardar"); // cancelled: the panel shows whatever ArchivoActual holds
    EXPECT_EQ(status(), "");
    trigger("Guardar");
    EXPECT_EQ(status(), QString::fromStdString(path("casa.kbx")));
    addRecord("Ana");
    trigger("Guardar"); // now it overwrites without a dialog
    EXPECT_EQ(ReadTextLines(path("casa.kbx")).size(), 34u);
}

TEST_F(FileMenu, ClearBookAsksAndDeletesTheFileOnlyOnYes) {
    start();
    std::string p = openBook();
    platform.yesNo = {false};
    press(Qt::Key_D, Qt::ControlModifier);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(
        platform.shown[0].text,
        QString::fromUtf8(
            "Esta seguro que desea borrar todos los datos de la agenda y comenzar una nueva?"));
    EXPECT_EQ(platform.shown[0].title, "Aviso");
    EXPECT_EQ(platform.shown[0].icon, PlatformServices::Icon::None);
    EXPECT_TRUE(std::filesystem::exists(p));
    EXPECT_EQ(names().size(), 2u);
    platform.yesNo = {true};
    press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_FALSE(std::filesystem::exists(p));
    EXPECT_TRUE(names().empty());
    EXPECT_EQ(status(), "Archivo Nuevo.");
}

TEST_F(FileMenu, AFailedDeleteIsReportedAndTheBookStays) {
    start();
    std::string p = openBook();
    std::filesystem::remove(p); // gone behind the program's back
    platform.yesNo = {true};
    trigger("BorrarAgenda");
    ASSERT_EQ(platform.shown.size(), 2u);
    EXPECT_EQ(platform.shown[1].title, "KTRVO");
    EXPECT_TRUE(platform.shown[1].text.startsWith("Cannot delete file"));
    EXPECT_EQ(names().size(), 2u);
    EXPECT_EQ(status(), QString::fromStdString(p));
}

TEST_F(FileMenu, ExitRightAfterStartUpClosesAndLeavesMenuDat) {
    WriteFileBytes(dataFile("menu.dat"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
    start();
    trigger("Salir");
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_EQ(ReadFileBytes(dataFile("menu.dat")), "A\r\nB\r\nC\r\nD\r\nE\r\n");
}

TEST_F(FileMenu, ExitAfterAnEmptyNewBookClosesWithoutAQuestion) {
    WriteFileBytes(dataFile("menu.dat"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
    start();
    trigger("Nueva");
    trigger("Salir");
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_EQ(ReadFileBytes(dataFile("menu.dat")), "A\r\nB\r\nC\r\nD\r\nE\r\n");
}

TEST_F(FileMenu, ExitWithAnUnchangedFileBookSavesColumnsAndMovesItOnTop) {
    start();
    std::string p = openBook();
    WriteFileBytes(dataFile("menu.dat"), "A\r\nB\r\nD\r\nE\r\nF\r\n");
    viewItem(Field::fax)->trigger();
    trigger("Salir");
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadTextLines(p).at(1 + FieldIndex(Field::fax)), "NO");
    EXPECT_EQ(ReadTextLines(dataFile("menu.dat")), (Lines{p, "A", "B", "D", "E"}));
}

TEST_F(FileMenu, NoAtExitDoesNotSaveButStillUpdatesTheRecentList) {
    start();
    std::string p = openBook();
    const std::string before = ReadFileBytes(p);
    WriteFileBytes(dataFile("menu.dat"), p + "\r\nA\r\nB\r\nD\r\nE\r\n");
    clickRow(0);
    trigger("EliminarReg");
    platform.yesNo = {false};
    trigger("Salir");
    EXPECT_EQ(questions(), std::vector<QString>{kSaveChanges});
    EXPECT_EQ(ReadFileBytes(p), before);
    EXPECT_EQ(ReadTextLines(dataFile("menu.dat")), (Lines{p, "", "A", "B", "D"}));
}

TEST_F(FileMenu, ANewBookAtExitIsOfferedThenTheListStays) {
    WriteFileBytes(dataFile("menu.dat"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
    start();
    trigger("Nueva");
    addRecord("Eva");
    platform.yesNo = {true};
    platform.saveNames = {QString::fromStdString(path("final"))};
    trigger("Salir");
    EXPECT_EQ(questions(), std::vector<QString>{kSaveNewAtExit});
    EXPECT_TRUE(std::filesystem::exists(path("final.kbx")));
    EXPECT_EQ(ReadTextLines(dataFile("menu.dat")), (Lines{path("final.kbx"), "A", "B", "C", "D"}));
}

// A save that fails at Exit or at the close box (the book's folder is gone, or it became
// read-only) is reported, then the user chooses: stay, or leave without saving. Never a
// window that cannot be closed, never a silent loss; menu.dat keeps its old lines.
TEST_F(FileMenu, AFailedSaveWhenLeavingIsReportedThenTheUserChooses) {
    const QString leaveQuestion =
        QString::fromUtf8("No se ha podido guardar la agenda. ¿Desea salir sin guardar?");
    struct Row {
        const char* name;
        bool closeBox;
        bool leave;
    } rows[] = {{"Exit, stay", false, false},
                {"Exit, leave", false, true},
                {"close box, stay", true, false},
                {"close box, leave", true, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        start();
        openBook("sub/libro.kbx");
        WriteFileBytes(dataFile("menu.dat"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
        std::filesystem::remove_all(path("sub")); // the folder is gone: the save cannot happen
        platform.yesNo = {row.leave};
        if (row.closeBox)
            form->close();
        else
            trigger("Salir");
        ASSERT_EQ(platform.shown.size(), 2u);
        EXPECT_EQ(platform.shown[0].title, "KTRVO");
        EXPECT_TRUE(platform.shown[0].text.startsWith("Cannot create file"));
        EXPECT_EQ(platform.shown[1].text, leaveQuestion);
        EXPECT_EQ(form->isVisible(), !row.leave);
        EXPECT_EQ(ReadFileBytes(dataFile("menu.dat")), "A\r\nB\r\nC\r\nD\r\nE\r\n");
        if (!row.leave) { // staying is not a trap: the next close asks again
            platform.clearShown();
            platform.yesNo = {true};
            form->close();
            EXPECT_FALSE(form->isVisible());
        }
        form.reset();
        platform.clearShown();
    }
}

// A book that another program (a sync, an editor) changed on disk since the window read it
// is not overwritten without asking; No keeps both the file and the window's changes.
TEST_F(FileMenu, SavingOverABookChangedOnDiskAsksFirst) {
    const QString overwrite = QString::fromUtf8("El archivo %1 ha cambiado en el disco desde que "
                                                "se abrió. ¿Desea sobrescribirlo?");
    start();
    std::string p = openBook();
    addRecord("Eva");
    press(Qt::Key_G, Qt::ControlModifier); // its own save asks nothing
    EXPECT_TRUE(questions().empty());
    writeBook("libro.kbx", {Record("Otro programa")});
    const std::string theirs = ReadFileBytes(p);
    platform.yesNo = {false};
    press(Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(questions(), std::vector<QString>{overwrite.arg(QString::fromStdString(p))});
    EXPECT_EQ(ReadFileBytes(p), theirs);
    EXPECT_EQ(names().size(), 3u);
    platform.clearShown();
    platform.yesNo = {true};
    press(Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(questions().size(), 1u);
    EXPECT_EQ(ReadTextLines(p).size(), 12u + 3 * 11);
}

TEST_F(FileMenu, ABadMenuDatAtExitIsReportedWithItsPathAndTheWindowCloses) {
    start();
    openBook();
    WriteFileBytes(dataFile("menu.dat"), "A\r\nB\r\n");
    trigger("Salir");
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text,
              QString::fromStdString("No se encuentra " + dataFile("menu.dat")) +
                  QString::fromUtf8(" o formato de archivo no válido"));
    EXPECT_EQ(platform.shown[0].title, "Error");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadFileBytes(dataFile("menu.dat")), "A\r\nB\r\n");
}

TEST_F(FileMenu, SavingABookWithoutRecordsLeavesNoFile) {
    start();
    std::string p = writeBook("uno.kbx", {Record("Eva")});
    open(p);
    clickRow(0);
    press(Qt::Key_Delete);
    EXPECT_TRUE(names().empty());
    platform.yesNo = {true};
    trigger("Salir");
    EXPECT_FALSE(std::filesystem::exists(p));
}

TEST_F(FileMenu, ReopeningTheMostRecentFileAndLeaving) {
    std::string c = path("C.kbx");
    WriteFileBytes(dataFile("menu.dat"), c + "\r\nA\r\nB\r\nD\r\nE\r\n");
    writeBook("C.kbx", {Record("Eva")});
    start();
    trigger("imenu1");
    EXPECT_EQ(names(), std::vector<std::string>{"Eva"});
    EXPECT_TRUE(questions().empty()); // nothing to lose yet
    trigger("Salir");
    Lines recent = ReadTextLines(dataFile("menu.dat"));
    EXPECT_EQ(recent, (Lines{c, "", "A", "B", "D"}));
}

TEST_F(FileMenu, RecentItemsKeepTheirPathsAndAskBeforeDroppingChanges) {
    std::string a = writeBook("a.kbx", {Record("Ana")});
    std::string b = writeBook("b.kbx", {Record("Bea")});
    WriteFileBytes(dataFile("menu.dat"), a + "\r\n" + b + "\r\n\r\n\r\n\r\n");
    start();
    trigger("imenu2");
    clickRow(0);
    trigger("EliminarReg"); // a change
    platform.yesNo = {false};
    trigger("imenu1");
    EXPECT_EQ(questions(), std::vector<QString>{kSaveChanges});
    EXPECT_EQ(names(), std::vector<std::string>{"Ana"});
    EXPECT_EQ(action("imenu1")->text(), QString::fromStdString(a)); // items never change in a run
    EXPECT_EQ(action("imenu2")->text(), QString::fromStdString(b));
    // A recent file that is gone fails like any load.
    std::filesystem::remove(b);
    platform.clearShown();
    trigger("imenu2");
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, QString::fromUtf8("Formato de archivo no válido"));
    EXPECT_EQ(names(), std::vector<std::string>{"Ana"});
}

TEST_F(FileMenu, TheCloseBoxLeavesTheWayExitDoes) {
    start();
    std::string p = openBook();
    WriteFileBytes(dataFile("menu.dat"), "\r\n\r\n\r\n\r\n\r\n");
    clickRow(0);
    trigger("EliminarReg");
    platform.yesNo = {true};
    form->close();
    EXPECT_EQ(questions(), std::vector<QString>{kSaveChanges});
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadTextLines(p).size(), 23u);
    EXPECT_EQ(ReadTextLines(dataFile("menu.dat")).at(0), p);
}
