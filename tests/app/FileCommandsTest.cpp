// New, Open, Save, Save As, Clear book, Exit and the recent files, from each book state.
#include "book/TextFile.h"
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

class FileCommands : public WindowTest {
  protected:
    // A File book with two records, loaded.
    std::string openBook(const std::string& name = "libro.kbx") {
        std::string p = writeBook(name, {Record("Ana"), Record("Luis")});
        form->CargarAgenda(QString::fromStdString(p));
        return p;
    }
    void addRecord(const std::string& name) {
        withModal([&] { form->AgregarReg->trigger(); },
                  [&](QWidget* dialog) {
                      QTest::keyClicks(dialog->findChild<QLineEdit*>("nombre"),
                                       QString::fromStdString(name));
                      QTest::mouseClick(dialog->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
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

TEST_F(FileCommands, NewFromStartAsksNothingAndStartsANewBook) {
    start();
    press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_EQ(form->StatusPanel->text(), "Archivo Nuevo.");
    EXPECT_TRUE(form->state.ArchivoNuevo);
    EXPECT_FALSE(form->state.SinAgenda);
    EXPECT_TRUE(form->AgregarReg->isEnabled());
    EXPECT_TRUE(form->Mantenimiento1->menuAction()->isEnabled());
    for (QAction* a : {form->EliminarReg, form->Guardar, form->GuardarComo, form->imprimir,
                       form->Buscar, form->SeleccionarTodo1, form->BorrarAgenda})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
}

TEST_F(FileCommands, NewAsksForANewBookOnlyWhenItHasRows) {
    start();
    form->Nueva->trigger();
    form->Nueva->trigger(); // empty new book: dropped without a question
    EXPECT_TRUE(questions().empty());
    addRecord("Eva");
    EXPECT_TRUE(form->Guardar->isEnabled());
    platform.yesNo = {true};
    platform.saveNames = {QString::fromStdString(path("nuevo"))};
    form->Nueva->trigger();
    EXPECT_EQ(questions(), std::vector<QString>{kSaveNew});
    EXPECT_EQ(platform.shown[0].title, "Aviso!");
    EXPECT_EQ(platform.shown[0].icon, PlatformServices::Icon::Question);
    EXPECT_EQ(ReadTextLines(path("nuevo.kbx")).at(12), "Eva");
    EXPECT_TRUE(names().empty());
    EXPECT_TRUE(form->state.ArchivoNuevo);
    EXPECT_EQ(form->state.ArchivoActual, path("nuevo.kbx")); // kept across New
}

TEST_F(FileCommands, NewFromAFileBookAsksOnlyWhenModifiedAndSavingKeepsModified) {
    start();
    std::string p = openBook();
    form->Nueva->trigger();
    EXPECT_TRUE(questions().empty());
    openBook();
    clickRow(0);
    form->copiar->trigger(); // copy marks the book modified
    press(Qt::Key_G, Qt::ControlModifier);
    EXPECT_TRUE(form->state.Modificado); // a save does not clear it
    EXPECT_EQ(form->StatusPanel->text(), QString::fromStdString(p));
    platform.yesNo = {false};
    form->Nueva->trigger();
    EXPECT_EQ(questions(), std::vector<QString>{kSaveChanges});
    EXPECT_FALSE(form->state.Modificado);
}

TEST_F(FileCommands, OpenAsksBeforeTheDialogAndACancelledDialogKeepsTheSave) {
    start();
    form->Nueva->trigger();
    addRecord("Eva");
    platform.yesNo = {true};
    platform.saveNames = {QString::fromStdString(path("guardado"))};
    platform.openNames = {std::nullopt};
    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(questions(), std::vector<QString>{kSaveNew});
    EXPECT_TRUE(std::filesystem::exists(path("guardado.kbx")));
    EXPECT_EQ(platform.dialogTitles.back(), "Abrir Agenda");
    EXPECT_EQ(platform.dialogFilters.back(), "Archivos Agenda (*.kbx)");
    EXPECT_EQ(names(), std::vector<std::string>{"Eva"});
    // And a chosen file is loaded.
    std::string other = writeBook("otro.kbx", {Record("Zoe")});
    platform.openNames = {QString::fromStdString(other)};
    platform.yesNo = {false};
    form->Abrir->trigger();
    EXPECT_EQ(names(), std::vector<std::string>{"Zoe"});
}

TEST_F(FileCommands, SaveOfANewBookGoesThroughSaveAs) {
    start();
    form->Nueva->trigger();
    addRecord("Eva");
    platform.saveNames = {std::nullopt, QString::fromStdString(path("casa"))};
    form->Guardar->trigger(); // cancelled: the panel shows whatever ArchivoActual holds
    EXPECT_EQ(form->StatusPanel->text(), "");
    EXPECT_TRUE(form->state.ArchivoNuevo);
    form->Guardar->trigger();
    EXPECT_FALSE(form->state.ArchivoNuevo);
    EXPECT_EQ(form->StatusPanel->text(), QString::fromStdString(path("casa.kbx")));
    addRecord("Ana");
    form->Guardar->trigger(); // now it overwrites without a dialog
    EXPECT_EQ(ReadTextLines(path("casa.kbx")).size(), 34u);
}

TEST_F(FileCommands, ClearBookAsksAndDeletesTheFileOnlyOnYes) {
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
    EXPECT_TRUE(form->state.ArchivoNuevo);
    EXPECT_EQ(form->StatusPanel->text(), "Archivo Nuevo.");
}

TEST_F(FileCommands, AFailedDeleteIsReportedAndTheBookStays) {
    start();
    std::string p = openBook();
    std::filesystem::remove(p); // gone behind the program's back
    platform.yesNo = {true};
    form->BorrarAgenda->trigger();
    ASSERT_EQ(platform.shown.size(), 2u);
    EXPECT_EQ(platform.shown[1].title, "KTRVO");
    EXPECT_TRUE(platform.shown[1].text.startsWith("Cannot delete file"));
    EXPECT_EQ(names().size(), 2u);
    EXPECT_FALSE(form->state.ArchivoNuevo);
}

TEST_F(FileCommands, ExitRightAfterStartUpClosesAndLeavesMenuDat) {
    WriteFileBytes(dataFile("menu.dat"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
    start();
    form->Salir->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_EQ(ReadFileBytes(dataFile("menu.dat")), "A\r\nB\r\nC\r\nD\r\nE\r\n");
}

TEST_F(FileCommands, ExitAfterAnEmptyNewBookClosesWithoutAQuestion) {
    WriteFileBytes(dataFile("menu.dat"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
    start();
    form->Nueva->trigger();
    form->Salir->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_EQ(ReadFileBytes(dataFile("menu.dat")), "A\r\nB\r\nC\r\nD\r\nE\r\n");
}

TEST_F(FileCommands, ExitWithAnUnchangedFileBookSavesColumnsAndMovesItOnTop) {
    start();
    std::string p = openBook();
    WriteFileBytes(dataFile("menu.dat"), "A\r\nB\r\nD\r\nE\r\nF\r\n");
    form->viewItem[FieldIndex(Field::fax)]->trigger();
    form->Salir->trigger();
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadTextLines(p).at(1 + FieldIndex(Field::fax)), "NO");
    EXPECT_EQ(ReadTextLines(dataFile("menu.dat")), (Lines{p, "A", "B", "D", "E"}));
}

TEST_F(FileCommands, NoAtExitDoesNotSaveButStillUpdatesTheRecentList) {
    start();
    std::string p = openBook();
    const std::string before = ReadFileBytes(p);
    WriteFileBytes(dataFile("menu.dat"), p + "\r\nA\r\nB\r\nD\r\nE\r\n");
    clickRow(0);
    form->EliminarReg->trigger();
    platform.yesNo = {false};
    form->Salir->trigger();
    EXPECT_EQ(questions(), std::vector<QString>{kSaveChanges});
    EXPECT_EQ(ReadFileBytes(p), before);
    EXPECT_EQ(ReadTextLines(dataFile("menu.dat")), (Lines{p, "", "A", "B", "D"}));
}

TEST_F(FileCommands, ANewBookAtExitIsOfferedThenTheListStays) {
    WriteFileBytes(dataFile("menu.dat"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
    start();
    form->Nueva->trigger();
    addRecord("Eva");
    platform.yesNo = {true};
    platform.saveNames = {QString::fromStdString(path("final"))};
    form->Salir->trigger();
    EXPECT_EQ(questions(), std::vector<QString>{kSaveNewAtExit});
    EXPECT_TRUE(std::filesystem::exists(path("final.kbx")));
    EXPECT_EQ(ReadTextLines(dataFile("menu.dat")), (Lines{path("final.kbx"), "A", "B", "C", "D"}));
}

TEST_F(FileCommands, AFailedSaveAtExitKeepsTheWindowAndMenuDat) {
    start();
    std::string p = openBook("sub/libro.kbx");
    (void)p;
    WriteFileBytes(dataFile("menu.dat"), "A\r\nB\r\nC\r\nD\r\nE\r\n");
    std::filesystem::remove_all(path("sub")); // the folder is gone: the save cannot happen
    form->Salir->trigger();
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].title, "KTRVO");
    EXPECT_EQ(ReadFileBytes(dataFile("menu.dat")), "A\r\nB\r\nC\r\nD\r\nE\r\n");
}

TEST_F(FileCommands, ABadMenuDatAtExitIsReportedWithItsPathAndTheWindowCloses) {
    start();
    openBook();
    WriteFileBytes(dataFile("menu.dat"), "A\r\nB\r\n");
    form->Salir->trigger();
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text,
              QString::fromStdString("No se encuentra " + dataFile("menu.dat")) +
                  QString::fromUtf8(" o formato de archivo no válido"));
    EXPECT_EQ(platform.shown[0].title, "Error");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadFileBytes(dataFile("menu.dat")), "A\r\nB\r\n");
}

TEST_F(FileCommands, SavingABookWithoutRecordsLeavesNoFile) {
    start();
    std::string p = writeBook("uno.kbx", {Record("Eva")});
    form->CargarAgenda(QString::fromStdString(p));
    clickRow(0);
    press(Qt::Key_Delete);
    EXPECT_TRUE(names().empty());
    platform.yesNo = {true};
    form->Salir->trigger();
    EXPECT_FALSE(std::filesystem::exists(p));
}

TEST_F(FileCommands, ReopeningTheMostRecentFileAndLeaving) {
    std::string c = path("C.kbx");
    WriteFileBytes(dataFile("menu.dat"), c + "\r\nA\r\nB\r\nD\r\nE\r\n");
    writeBook("C.kbx", {Record("Eva")});
    start();
    form->imenu[0]->trigger();
    EXPECT_EQ(names(), std::vector<std::string>{"Eva"});
    EXPECT_TRUE(questions().empty()); // nothing to lose yet
    form->Salir->trigger();
    Lines recent = ReadTextLines(dataFile("menu.dat"));
    EXPECT_EQ(recent, (Lines{c, "", "A", "B", "D"}));
}

TEST_F(FileCommands, RecentItemsKeepTheirPathsAndAskBeforeDroppingChanges) {
    std::string a = writeBook("a.kbx", {Record("Ana")});
    std::string b = writeBook("b.kbx", {Record("Bea")});
    WriteFileBytes(dataFile("menu.dat"), a + "\r\n" + b + "\r\n\r\n\r\n\r\n");
    start();
    form->imenu[1]->trigger();
    clickRow(0);
    form->EliminarReg->trigger(); // a change
    platform.yesNo = {false};
    form->imenu[0]->trigger();
    EXPECT_EQ(questions(), std::vector<QString>{kSaveChanges});
    EXPECT_EQ(names(), std::vector<std::string>{"Ana"});
    EXPECT_EQ(form->imenu[0]->text(), QString::fromStdString(a)); // items never change in a run
    EXPECT_EQ(form->imenu[1]->text(), QString::fromStdString(b));
    // A recent file that is gone fails like any load.
    std::filesystem::remove(b);
    platform.clearShown();
    form->imenu[1]->trigger();
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, QString::fromUtf8("Formato de archivo no válido"));
    EXPECT_EQ(names(), std::vector<std::string>{"Ana"});
}

TEST_F(FileCommands, TheCloseBoxLeavesTheWayExitDoes) {
    start();
    std::string p = openBook();
    WriteFileBytes(dataFile("menu.dat"), "\r\n\r\n\r\n\r\n\r\n");
    clickRow(0);
    form->EliminarReg->trigger();
    platform.yesNo = {true};
    form->close();
    EXPECT_EQ(questions(), std::vector<QString>{kSaveChanges});
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadTextLines(p).size(), 23u);
    EXPECT_EQ(ReadTextLines(dataFile("menu.dat")).at(0), p);
}

TEST_F(FileCommands, TheCloseBoxStaysOpenWhenTheSaveFails) {
    start();
    openBook("sub/libro.kbx");
    std::filesystem::remove_all(path("sub"));
    form->close();
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].title, "KTRVO");
}
