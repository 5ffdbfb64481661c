// The main window as the user meets it: start-up, the layout of menus and tool bar, the
// enabled commands, loading and saving a book, the columns and the ordering.
#include "app/Unit4.h"
#include "book/TextFile.h"
#include "tests/support/app/WindowFixture.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace veldrano;
using veldrano::test::WindowTest;

namespace {

QString U(const char* s) {
    return QString::fromUtf8(s);
}

std::vector<QString> MenuTexts(QMenu* menu) {
    std::vector<QString> out;
    for (QAction* a : menu->actions())
        out.push_back(a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

QMenu* TopMenu(TForm1& form, const char* title) {
    for (QAction* a : form.menuBar()->actions())
        if (a->text() == U(title))
            return a->menu();
    return nullptr;
}

} // namespace

class MainWindow : public WindowTest {};

TEST_F(MainWindow, StartsWithItsCaptionListAndStatusPanel) {
    start();
    EXPECT_EQ(form->windowTitle(), "VELDRANO");
    EXPECT_EQ(form->StatusPanel->text(), "No Archivo");
    ASSERT_EQ(form->model->columnCount(), 11);
    const char* captions[] = {"Nombre y Apellidos", "Dirección",  "Teléfono", "Correo Electrónico",
                              "Código Postal",      "Móvil",      "Fax",      "Organización",
                              "Departamento",       "Página Web", "Oficina"};
    for (int k = 0; k < 11; ++k)
        EXPECT_EQ(form->model->headerData(k, Qt::Horizontal, Qt::DisplayRole).toString(),
                  U(captions[k]));
    EXPECT_FALSE(form->ListView1->header()->sectionsClickable());
    EXPECT_EQ(form->ListView1->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(form->OrdenarAgenda1->isChecked());
    // The columns share the list's width.
    int total = 0;
    for (int k = 0; k < 11; ++k) {
        EXPECT_GT(form->ListView1->header()->sectionSize(k), 20);
        total += form->ListView1->header()->sectionSize(k);
    }
    EXPECT_EQ(total, form->ListView1->viewport()->width());
}

TEST_F(MainWindow, MenusHoldEveryItemInOrder) {
    start();
    using V = std::vector<QString>;
    EXPECT_EQ(MenuTexts(TopMenu(*form, "&Archivo")),
              (V{"&Nueva", "&Abrir...", "Abrir &Reciente", "&Guardar", "Guardar &Como...", "-",
                 "&Imprimir", "-", "&Salir"}));
    EXPECT_EQ(MenuTexts(TopMenu(*form, "&Edición")),
              (V{"&Cortar", "&Copiar", "&Pegar", "&Seleccionar Todo", "-", "&Ordenar Agenda", "-",
                 "&Buscar"}));
    EXPECT_EQ(MenuTexts(TopMenu(*form, "&Ver")),
              (V{U("Nombre y Apellidos"), U("Dirección"), U("Teléfono"), U("Móvil"),
                 U("Código Postal"), U("e-mail"), U("Fax"), U("Organización"), U("Departamento"),
                 U("Oficina"), U("Página Web")}));
    EXPECT_EQ(
        MenuTexts(TopMenu(*form, "&Mantenimiento")),
        (V{"&Agregar Registro", "&Borrar Registro", "&Modificar Registro", "-", "&Borrar Agenda"}));
    EXPECT_EQ(MenuTexts(TopMenu(*form, "&Tareas")),
              (V{U("&Enviar Correo Electrónico..."), "&Navegar por internet"}));
    EXPECT_EQ(MenuTexts(TopMenu(*form, "A&yuda")),
              (V{"&Contenido...", "&Enviar e-mail autor...", "-", "&Acerca de..."}));
    EXPECT_EQ(MenuTexts(form->PopupMenu1),
              (V{"&Cortar", "&Copiar", "&Pegar", "-", "&Agregar Registro", "&Modificar Registro",
                 "&Borrar Registro", "-", U("&Enviar Correo Electrónico...")}));
    for (QAction* item : TopMenu(*form, "&Ver")->actions())
        EXPECT_TRUE(item->isCheckable() && item->isChecked());
    // Each View item controls its own field's column, whatever its place in the menu.
    EXPECT_EQ(TopMenu(*form, "&Ver")->actions()[3], form->viewItem[FieldIndex(Field::movil)]);
    EXPECT_EQ(TopMenu(*form, "&Ver")->actions()[10], form->viewItem[FieldIndex(Field::web)]);
}

TEST_F(MainWindow, ToolBarButtonsHaveIconsAndHintsInOrder) {
    start();
    std::vector<QString> hints;
    for (QAction* a : form->ToolBar1->actions()) {
        if (a->isSeparator()) {
            hints.push_back("-");
            continue;
        }
        hints.push_back(a->toolTip());
        EXPECT_FALSE(a->icon().isNull()) << a->objectName().toStdString();
    }
    EXPECT_EQ(hints, (std::vector<QString>{"Nueva Agenda",
                                           "Abrir Agenda",
                                           "Guardar Agenda",
                                           "Imprimir",
                                           "-",
                                           "Copiar",
                                           "Pegar",
                                           "Cortar",
                                           "-",
                                           "Buscar",
                                           "-",
                                           "Agregar Registro",
                                           "Eliminar Registro",
                                           "Modificar Registro",
                                           "-",
                                           "Borrar Agenda",
                                           "-",
                                           "Enviar E-Mail",
                                           "Browse URL",
                                           "-",
                                           "Salir"}));
}

TEST_F(MainWindow, CommandsHaveTheirShortcuts) {
    start();
    struct Row {
        QAction* action;
        QKeySequence key;
    } rows[] = {
        {form->Nueva, QKeySequence("Ctrl+N")},
        {form->Abrir, QKeySequence("Ctrl+A")},
        {form->Guardar, QKeySequence("Ctrl+G")},
        {form->imprimir, QKeySequence("Ctrl+P")},
        {form->Cortar, QKeySequence("Ctrl+X")},
        {form->copiar, QKeySequence("Ctrl+C")},
        {form->Pegar, QKeySequence("Ctrl+V")},
        {form->SeleccionarTodo1, QKeySequence("Ctrl+Z")},
        {form->Buscar, QKeySequence("F3")},
        {form->BuscarSiguiente, QKeySequence("F4")},
        {form->AgregarReg, QKeySequence("Ctrl+F1")},
        {form->EliminarReg, QKeySequence(Qt::Key_Delete)},
        {form->ModificarReg, QKeySequence("Ctrl+F3")},
        {form->BorrarAgenda, QKeySequence("Ctrl+D")},
        {form->EnviarMail, QKeySequence("F9")},
        {form->Notas, QKeySequence("F10")},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.action->shortcut(), r.key) << r.action->objectName().toStdString();
    EXPECT_TRUE(form->Salir->shortcut().isEmpty());
}

TEST_F(MainWindow, OnlyTheStartCommandsAreEnabledAfterStartUp) {
    start();
    for (QAction* a :
         {form->Nueva, form->Abrir, form->Salir, form->OrdenarAgenda1, form->BrowseURL1,
          form->BrowseURL2, form->Enviaremailautor1, form->Acercade1})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    for (QAction* a : form->viewItem)
        EXPECT_TRUE(a->isEnabled());
    for (QAction* a :
         {form->ModificarReg, form->EnviarMail, form->Guardar, form->GuardarComo, form->Cortar,
          form->copiar, form->Pegar, form->SeleccionarTodo1, form->Buscar, form->BuscarSiguiente,
          form->imprimir, form->BorrarAgenda, form->EliminarReg, form->AgregarReg})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(form->Mantenimiento1->menuAction()->isEnabled());
    EXPECT_TRUE(form->state.ArchivoNuevo && form->state.SinAgenda);
    EXPECT_FALSE(form->state.Modificado);
    EXPECT_EQ(IndiceElegido, 0);
}

TEST_F(MainWindow, DisabledKeysDoNothingRightAfterStartUp) {
    start();
    for (auto [key, mod] : {std::pair{Qt::Key_F3, Qt::NoModifier},
                            {Qt::Key_F4, Qt::NoModifier},
                            {Qt::Key_F1, Qt::ControlModifier},
                            {Qt::Key_Delete, Qt::NoModifier}})
        expectNoModal([&, key = key, mod = mod] { press(key, mod); });
    EXPECT_FALSE(form->state.Modificado); // Del did not run the delete command
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(MainWindow, RecentItemsComeFromMenuDatAndAreCopiedToTheWorkingFolder) {
    test::WriteFileBytes(dataFile("menu.dat"), "\r\n/libros/uno.kbx\r\n\r\n/libros/a&b.kbx\r\n");
    start();
    EXPECT_EQ(form->imenu[0]->text(), U("Vacío"));
    EXPECT_FALSE(form->imenu[0]->isEnabled());
    EXPECT_TRUE(form->imenu[0]->isVisible());
    EXPECT_TRUE(form->imenu[1]->isVisible());
    EXPECT_EQ(form->imenu[1]->text(), "/libros/uno.kbx");
    EXPECT_FALSE(form->imenu[2]->isVisible());
    EXPECT_EQ(form->imenu[3]->text(), "/libros/a&&b.kbx");
    EXPECT_FALSE(form->imenu[4]->isVisible()); // the short file reads as padded
    EXPECT_EQ(test::ReadFileBytes(path("cwd/menu.dat")),
              "\r\n/libros/uno.kbx\r\n\r\n/libros/a&b.kbx\r\n\r\n");
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(MainWindow, AMissingMenuDatStillFinishesTheCreationStep) {
    std::filesystem::remove(dataFile("menu.dat"));
    start();
    EXPECT_EQ(form->imenu[0]->text(), U("Vacío"));
    EXPECT_FALSE(form->AgregarReg->isEnabled());
    EXPECT_TRUE(form->state.SinAgenda);
    ASSERT_EQ(platform.shown.size(), 1u); // the missing file is reported
    EXPECT_EQ(platform.shown[0].title, "KTRVO");
}

TEST_F(MainWindow, LoadingABookFillsTheListColumnsAndCommands) {
    start();
    std::string p = writeBook("libro.kbx", {Record("Luis Gil"), Record("Ana Ruiz", "555 1234")},
                              {FieldIndex(Field::fax), FieldIndex(Field::web)});
    form->CargarAgenda(QString::fromStdString(p));
    EXPECT_EQ(names(), (std::vector<std::string>{"Ana Ruiz", "Luis Gil"}));
    EXPECT_EQ(form->StatusPanel->text(), QString::fromStdString(p));
    EXPECT_EQ(form->state.ArchivoActual, p);
    EXPECT_FALSE(form->state.ArchivoNuevo || form->state.SinAgenda || form->state.Modificado);
    EXPECT_EQ(form->state.ColumnasVisibles, 9);
    EXPECT_TRUE(form->ListView1->header()->isSectionHidden(FieldIndex(Field::fax)));
    EXPECT_FALSE(form->viewItem[FieldIndex(Field::fax)]->isChecked());
    EXPECT_FALSE(form->viewItem[FieldIndex(Field::web)]->isChecked());
    EXPECT_TRUE(form->viewItem[FieldIndex(Field::oficina)]->isChecked());
    for (QAction* a : {form->Guardar, form->GuardarComo, form->imprimir, form->SeleccionarTodo1,
                       form->Buscar, form->BorrarAgenda, form->AgregarReg})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(form->Mantenimiento1->menuAction()->isEnabled());
    for (QAction* a :
         {form->Cortar, form->copiar, form->EliminarReg, form->ModificarReg, form->EnviarMail})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_TRUE(form->state.ListaTrabajo.empty());
    EXPECT_EQ(form->model->data(form->model->index(0, 2), Qt::DisplayRole).toString(), "555 1234");
}

TEST_F(MainWindow, AFailedLoadLeavesTheWindowAsItWas) {
    start();
    std::string good = writeBook("bueno.kbx", {Record("Eva")}, {3});
    form->CargarAgenda(QString::fromStdString(good));
    Lines bad = SplitLines(test::ReadFileBytes(good));
    bad.push_back("medio registro");
    test::WriteFileBytes(path("malo.kbx"), JoinLines(bad));

    for (const std::string& p : {path("malo.kbx"), path("no-existe.kbx"), path("")}) {
        platform.clearShown();
        form->CargarAgenda(QString::fromStdString(p));
        ASSERT_EQ(platform.shown.size(), 1u) << p;
        EXPECT_EQ(platform.shown[0].text, U("Formato de archivo no válido"));
        EXPECT_EQ(platform.shown[0].title, "Error");
        EXPECT_EQ(platform.shown[0].icon, PlatformServices::Icon::Error);
        EXPECT_EQ(names(), std::vector<std::string>{"Eva"});
        EXPECT_EQ(form->state.ArchivoActual, good);
        EXPECT_EQ(form->StatusPanel->text(), QString::fromStdString(good));
        EXPECT_TRUE(form->state.ListaTrabajo.empty());
        EXPECT_EQ(form->state.ColumnaOculta[3], -1);
    }
    // A later save writes the good book over the good file, never over the bad one.
    form->GuardarAgenda();
    EXPECT_EQ(test::ReadFileBytes(path("malo.kbx")), JoinLines(bad));
}

TEST_F(MainWindow, AFailedFirstLoadKeepsTheStartState) {
    start();
    test::WriteFileBytes(path("doce.kbx"), JoinLines(Lines(12, "YES")));
    form->CargarAgenda(QString::fromStdString(path("doce.kbx")));
    EXPECT_TRUE(form->state.SinAgenda && form->state.ArchivoNuevo);
    EXPECT_FALSE(form->Guardar->isEnabled());
    EXPECT_EQ(form->StatusPanel->text(), "No Archivo");
}

TEST_F(MainWindow, SavingWritesTheBookBackByteForByte) {
    start();
    std::string all;
    for (int b = 0x20; b < 0x100; ++b)
        all += static_cast<char>(b);
    ContactRecord odd = Record("\xC1ngel \xD1"
                               "u\xF1"
                               "ez",
                               all, "a@b");
    std::string p = writeBook("libro.kbx", {Record("ana"), Record("Ana"), odd, Record("")}, {0, 6});
    const std::string before = test::ReadFileBytes(p);
    form->CargarAgenda(QString::fromStdString(p));
    form->GuardarAgenda();
    // Sorted on load: the file written in name order comes back identical.
    form->OrdenarAgenda1->trigger();
    form->GuardarAgenda();
    const std::string after = test::ReadFileBytes(p);
    std::vector<ContactRecord> sorted = rows();
    writeBook("esperado.kbx", sorted, {0, 6});
    EXPECT_EQ(after, test::ReadFileBytes(path("esperado.kbx")));
    // And a file already in that order loads and saves back unchanged.
    form->CargarAgenda(QString::fromStdString(path("esperado.kbx")));
    form->GuardarAgenda();
    EXPECT_EQ(test::ReadFileBytes(path("esperado.kbx")), after);
    EXPECT_EQ(before.size(), after.size());
}

TEST_F(MainWindow, SaveAsAlwaysAppendsKbx) {
    start();
    form->CargarAgenda(QString::fromStdString(writeBook("uno.kbx", {Record("Eva")})));
    platform.saveNames = {QString::fromStdString(path("casa")),
                          QString::fromStdString(path("casa.kbx"))};
    form->GuardarAgendaComo();
    EXPECT_EQ(form->state.ArchivoActual, path("casa.kbx"));
    form->GuardarAgendaComo();
    EXPECT_EQ(form->state.ArchivoActual, path("casa.kbx.kbx"));
    EXPECT_TRUE(std::filesystem::exists(path("casa.kbx.kbx")));
    EXPECT_EQ(platform.dialogFilters.back(), "Agendas (*.kbx)");
    platform.saveNames = {std::nullopt};
    form->GuardarAgendaComo(); // cancelled: nothing changes
    EXPECT_EQ(form->state.ArchivoActual, path("casa.kbx.kbx"));
}

TEST_F(MainWindow, AFailedWriteChangesNoStateAndLeavesTheOldFile) {
    start();
    form->CargarAgenda(QString::fromStdString(writeBook("uno.kbx", {Record("Eva")})));
    platform.saveNames = {QString::fromStdString(path("no/hay/carpeta"))};
    form->Guarded([&] { form->GuardarAgendaComo(); });
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].title, "KTRVO");
    EXPECT_TRUE(platform.shown[0].text.startsWith(
        QString::fromStdString("Cannot create file \"" + path("no/hay/carpeta.kbx") + "\".")));
    EXPECT_TRUE(platform.shown[0].text.endsWith("."));
    EXPECT_EQ(form->state.ArchivoActual, path("uno.kbx"));
    EXPECT_TRUE(form->state.ListaTrabajo.empty());
}

TEST_F(MainWindow, OrderingFollowsTheLocaleCaseSensitively) {
    start();
    std::vector<ContactRecord> records;
    for (const char* n : {"Zoe", "\xC1lvaro", "ana", "Ana", "alvaro",
                          "\xF1"
                          "u",
                          "nu", "Nu", "o"})
        records.push_back(Record(n));
    form->CargarAgenda(QString::fromStdString(writeBook("l.kbx", records)));
    EXPECT_EQ(names(), (std::vector<std::string>{"alvaro", "\xC1lvaro", "ana", "Ana", "nu", "Nu",
                                                 "\xF1"
                                                 "u",
                                                 "o", "Zoe"}));
    // Off: the file order; on again: sorted at once; off: stays sorted.
    form->OrdenarAgenda1->trigger();
    form->CargarAgenda(QString::fromStdString(path("l.kbx")));
    EXPECT_EQ(names()[0], "Zoe");
    form->OrdenarAgenda1->trigger();
    EXPECT_EQ(names()[0], "alvaro");
    form->OrdenarAgenda1->trigger();
    EXPECT_EQ(names()[8], "Zoe");
}

TEST_F(MainWindow, SortingKeepsTheSelectionOnItsRows) {
    start();
    form->OrdenarAgenda1->trigger();
    form->CargarAgenda(
        QString::fromStdString(writeBook("l.kbx", {Record("c"), Record("b"), Record("a")})));
    clickRow(0); // "c"
    form->OrdenarAgenda1->trigger();
    EXPECT_EQ(form->SelectedRows(), std::vector<int>{2});
}

TEST_F(MainWindow, HidingEveryColumnAndShowingOneAgain) {
    start();
    form->CargarAgenda(QString::fromStdString(writeBook("l.kbx", {Record("Eva")})));
    for (QAction* item : form->viewItem)
        item->trigger();
    EXPECT_EQ(form->state.ColumnasVisibles, 0);
    for (int k = 0; k < 11; ++k)
        EXPECT_TRUE(form->ListView1->header()->isSectionHidden(k));
    EXPECT_FALSE(form->state.Modificado); // column choices do not mark the book
    form->viewItem[FieldIndex(Field::movil)]->trigger();
    EXPECT_FALSE(form->ListView1->header()->isSectionHidden(FieldIndex(Field::movil)));
    EXPECT_EQ(form->ListView1->header()->sectionSize(FieldIndex(Field::movil)),
              form->ListView1->viewport()->width());
    // The next save stores the choice.
    form->GuardarAgenda();
    Lines lines = ReadTextLines(path("l.kbx"));
    for (int k = 0; k < 11; ++k)
        EXPECT_EQ(lines[1 + k], k == FieldIndex(Field::movil) ? "YES" : "NO");
    // Resizing keeps hidden columns hidden and gives the shown one the width.
    form->resize(form->width() + 100, form->height());
    QApplication::processEvents();
    EXPECT_EQ(form->ListView1->header()->sectionSize(FieldIndex(Field::movil)),
              form->ListView1->viewport()->width());
}

TEST_F(MainWindow, SelectingARowEnablesTheRowCommandsAndAnEmptyClickDisablesThem) {
    start();
    form->CargarAgenda(
        QString::fromStdString(writeBook("l.kbx", {Record("a"), Record("b"), Record("c")})));
    clickRow(1);
    EXPECT_TRUE(form->state.RegistroElegido);
    EXPECT_EQ(IndiceElegido, 1);
    for (QAction* a :
         {form->Cortar, form->copiar, form->EliminarReg, form->ModificarReg, form->EnviarMail})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    clickRow(2, Qt::ControlModifier);
    EXPECT_EQ(IndiceElegido, 1);
    QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton, {},
                      QPoint(10, form->ListView1->viewport()->height() - 5));
    EXPECT_EQ(IndiceElegido, -1);
    for (QAction* a :
         {form->Cortar, form->copiar, form->EliminarReg, form->ModificarReg, form->EnviarMail})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
}

TEST_F(MainWindow, SelectAllAndTheErrorBoxRule) {
    start();
    form->CargarAgenda(QString::fromStdString(writeBook("l.kbx", {Record("a"), Record("b")})));
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->SelectedRows(), (std::vector<int>{0, 1}));
    form->Guarded([] { throw std::runtime_error("List index out of bounds (5)"); });
    form->Guarded(
        [] { throw std::runtime_error("Cannot open file \"x\". No such file or directory."); });
    form->Guarded([] { throw std::runtime_error("Socket Error # 10061\r\nConnection refused."); });
    form->Guarded([] { throw std::runtime_error("530 denied\r\n"); });
    ASSERT_EQ(platform.shown.size(), 4u);
    EXPECT_EQ(platform.shown[0].text, "List index out of bounds (5)");
    EXPECT_EQ(platform.shown[1].text, "Cannot open file \"x\". No such file or directory.");
    EXPECT_EQ(platform.shown[2].text, "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(platform.shown[3].text, "530 denied\r\n");
    EXPECT_EQ(platform.shown[0].title, "KTRVO");
    EXPECT_EQ(platform.shown[0].icon, PlatformServices::Icon::Error);
}
