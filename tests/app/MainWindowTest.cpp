// The main window as the user meets it: start-up, the layout of menus and tool bar, the
// enabled commands, loading and saving a book, the columns and the ordering.
#include "book/ContactFields.h"
#include "files/TextFile.h"
#include "tests/support/app/WindowFixture.h"

#include <QAbstractItemView>
#include <QAction>
#include <QContextMenuEvent>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

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

} // namespace

class MainWindow : public WindowTest {
  protected:
    std::vector<QAction*> actions(std::initializer_list<const char*> names) const {
        std::vector<QAction*> out;
        for (const char* n : names)
            out.push_back(action(n));
        return out;
    }
    void expectEnabled(std::initializer_list<const char*> names, bool on) const {
        for (QAction* a : actions(names))
            EXPECT_EQ(a->isEnabled(), on) << a->objectName().toStdString();
    }
    int hiddenColumns() const {
        int hidden = 0;
        for (int k = 0; k < kFieldCount; ++k)
            hidden += header()->isSectionHidden(k);
        return hidden;
    }
};

TEST_F(MainWindow, StartsWithItsCaptionListAndStatusPanel) {
    start();
    EXPECT_EQ(form->windowTitle(), "VELDRANO");
    EXPECT_EQ(status(), "No Archivo");
    ASSERT_EQ(list()->model()->columnCount(), 11);
    for (int k = 0; k < 11; ++k)
        EXPECT_EQ(list()->model()->headerData(k, Qt::Horizontal).toString(),
                  U(kFields[k].columnCaption));
    EXPECT_EQ(header()->model()->headerData(3, Qt::Horizontal).toString(), U("Correo Electrónico"));
    EXPECT_FALSE(header()->sectionsClickable());
    EXPECT_EQ(list()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(list()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list()->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(action("OrdenarAgenda1")->isChecked());
    // The columns share the list's width.
    int total = 0;
    for (int k = 0; k < 11; ++k) {
        EXPECT_GT(header()->sectionSize(k), 20);
        total += header()->sectionSize(k);
    }
    EXPECT_EQ(total, list()->viewport()->width());
}

TEST_F(MainWindow, MenusHoldEveryItemInOrder) {
    start();
    using V = std::vector<QString>;
    EXPECT_EQ(MenuTexts(menu("Archivo1")),
              (V{"&Nueva", "&Abrir...", "Abrir &Reciente", "&Guardar", "Guardar &Como...", "-",
                 "&Imprimir", "-", "&Salir"}));
    EXPECT_EQ(MenuTexts(menu("Edicion1")), (V{"&Cortar", "&Copiar", "&Pegar", "&Seleccionar Todo",
                                              "-", "&Ordenar Agenda", "-", "&Buscar"}));
    EXPECT_EQ(MenuTexts(menu("Ver1")),
              (V{U("Nombre y Apellidos"), U("Dirección"), U("Teléfono"), U("Móvil"),
                 U("Código Postal"), U("e-mail"), U("Fax"), U("Organización"), U("Departamento"),
                 U("Oficina"), U("Página Web")}));
    EXPECT_EQ(MenuTexts(menu("Mantenimiento1")), (V{"&Agregar Registro", "&Borrar Registro",
                                                    "&Modificar Registro", "-", "&Borrar Agenda"}));
    EXPECT_EQ(MenuTexts(menu("Tareas1")),
              (V{U("&Enviar Correo Electrónico..."), "&Navegar por internet"}));
    EXPECT_EQ(MenuTexts(menu("Ayuda1")),
              (V{"&Contenido...", "&Enviar e-mail autor...", "-", "&Acerca de..."}));
    EXPECT_EQ(MenuTexts(menu("PopupMenu1")),
              (V{"&Cortar", "&Copiar", "&Pegar", "-", "&Agregar Registro", "&Modificar Registro",
                 "&Borrar Registro", "-", U("&Enviar Correo Electrónico...")}));
    for (QAction* item : menu("Ver1")->actions())
        EXPECT_TRUE(item->isCheckable() && item->isChecked());
    // Each View item controls its own field's column, whatever its place in the menu.
    EXPECT_EQ(menu("Ver1")->actions()[3], viewItem(Field::movil));
    EXPECT_EQ(menu("Ver1")->actions()[10], viewItem(Field::web));
    // The menu bar lists the six menus in order.
    std::vector<QString> bar;
    for (QAction* a : form->menuBar()->actions())
        bar.push_back(a->text());
    EXPECT_EQ(bar, (V{"&Archivo", U("&Edición"), "&Ver", "&Mantenimiento", "&Tareas", "A&yuda"}));
}

// The list's pop-up is the window's only one: a right click on the free part of the menu
// bar or on the tool bar offers nothing, so the tool bar cannot be hidden by a stray click.
TEST_F(MainWindow, TheToolBarCannotBeHiddenAndHasASpanishName) {
    start();
    auto* bar = form->findChild<QToolBar*>("ToolBar1");
    EXPECT_EQ(bar->windowTitle(), "Barra de herramientas");
    EXPECT_EQ(bar->accessibleName(), "Barra de herramientas");
    EXPECT_FALSE(bar->toggleViewAction()->isVisible());
    for (QWidget* w : {static_cast<QWidget*>(form->menuBar()), static_cast<QWidget*>(bar)}) {
        bool popup = false;
        QTimer::singleShot(200, [&] {
            if (QWidget* p = QApplication::activePopupWidget()) {
                popup = true;
                p->close();
            }
        });
        const QPoint free(w->width() - 3, w->height() / 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, free, w->mapToGlobal(free));
        QApplication::sendEvent(w, &event);
        QTest::qWait(300);
        EXPECT_FALSE(popup) << w->objectName().toStdString();
        EXPECT_TRUE(bar->isVisible());
    }
}

TEST_F(MainWindow, ToolBarButtonsHaveIconsAndHintsInOrder) {
    start();
    std::vector<QString> hints;
    for (QAction* a : form->findChild<QToolBar*>("ToolBar1")->actions()) {
        hints.push_back(a->isSeparator() ? QStringLiteral("-") : a->toolTip());
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().isNull()) << a->objectName().toStdString();
        }
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
    const std::pair<const char*, QKeySequence> rows[] = {
        {"Nueva", QKeySequence("Ctrl+N")},
        {"Abrir", QKeySequence("Ctrl+A")},
        {"Guardar", QKeySequence("Ctrl+G")},
        {"imprimir", QKeySequence("Ctrl+P")},
        {"Cortar", QKeySequence("Ctrl+X")},
        {"copiar", QKeySequence("Ctrl+C")},
        {"Pegar", QKeySequence("Ctrl+V")},
        {"SeleccionarTodo1", QKeySequence("Ctrl+Z")},
        {"Buscar", QKeySequence("F3")},
        {"BuscarSiguiente", QKeySequence("F4")},
        {"AgregarReg", QKeySequence("Ctrl+F1")},
        {"EliminarReg", QKeySequence(Qt::Key_Delete)},
        {"ModificarReg", QKeySequence("Ctrl+F3")},
        {"BorrarAgenda", QKeySequence("Ctrl+D")},
        {"EnviarMail", QKeySequence("F9")},
        {"Notas", QKeySequence("F10")},
        {"Salir", QKeySequence()},
    };
    for (const auto& [name, key] : rows)
        EXPECT_EQ(action(name)->shortcut(), key) << name;
}

TEST_F(MainWindow, OnlyTheStartCommandsAreEnabledAndTheirKeysDoNothingElse) {
    start();
    expectEnabled({"Nueva", "Abrir", "Salir", "OrdenarAgenda1", "BrowseURL1", "BrowseURL2",
                   "Enviaremailautor1", "Acercade1"},
                  true);
    for (const FieldInfo& field : kFields)
        EXPECT_TRUE(viewItem(field.field)->isEnabled());
    expectEnabled({"ModificarReg", "EnviarMail", "Guardar", "GuardarComo", "Cortar", "copiar",
                   "Pegar", "SeleccionarTodo1", "Buscar", "BuscarSiguiente", "imprimir",
                   "BorrarAgenda", "EliminarReg", "AgregarReg"},
                  false);
    EXPECT_FALSE(menu("Mantenimiento1")->menuAction()->isEnabled());
    for (auto [key, mod] : {std::pair{Qt::Key_F3, Qt::NoModifier},
                            {Qt::Key_F4, Qt::NoModifier},
                            {Qt::Key_F1, Qt::ControlModifier},
                            {Qt::Key_Delete, Qt::NoModifier}})
        expectNoModal([&, key = key, mod = mod] { press(key, mod); });
    EXPECT_TRUE(platform.shown.empty());
    // Nothing was started: Exit just closes.
    trigger("Salir");
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(MainWindow, RecentItemsComeFromMenuDatAndAreCopiedToTheWorkingFolder) {
    test::WriteFileBytes(dataFile("menu.dat"), "\r\n/libros/uno.kbx\r\n\r\n/libros/a&b.kbx\r\n");
    start();
    EXPECT_EQ(action("imenu1")->text(), U("Vacío"));
    EXPECT_FALSE(action("imenu1")->isEnabled());
    EXPECT_TRUE(action("imenu1")->isVisible());
    EXPECT_TRUE(action("imenu2")->isVisible());
    EXPECT_EQ(action("imenu2")->text(), "/libros/uno.kbx");
    EXPECT_FALSE(action("imenu3")->isVisible());
    EXPECT_EQ(action("imenu4")->text(), "/libros/a&&b.kbx");
    EXPECT_FALSE(action("imenu5")->isVisible()); // the short file reads as padded
    EXPECT_EQ(test::ReadFileBytes(path("cwd/menu.dat")),
              "\r\n/libros/uno.kbx\r\n\r\n/libros/a&b.kbx\r\n\r\n");
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(MainWindow, AMenuDatThatCannotBeAListStillFinishesTheCreationStep) {
    struct Row {
        const char* name;
        std::function<void(const std::string&)> make;
        QString title;
    } rows[] = {
        {"missing", [](const std::string& p) { std::filesystem::remove(p); }, "KTRVO"},
        {"a FIFO",
         [](const std::string& p) { std::filesystem::remove(p), ::mkfifo(p.c_str(), 0600); },
         "KTRVO"},
        {"a 20 MB line",
         [](const std::string& p) {
             test::WriteFileBytes(p, std::string(20'000'000, 'x') + "\r\n");
         },
         "Error"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.make(dataFile("menu.dat"));
        start();
        EXPECT_EQ(action("imenu1")->text(), U("Vacío"));
        for (const char* item : {"imenu2", "imenu3", "imenu4", "imenu5"})
            EXPECT_FALSE(action(item)->isVisible());
        EXPECT_FALSE(action("AgregarReg")->isEnabled());
        ASSERT_EQ(platform.shown.size(), 1u); // reported once, then the window is usable
        EXPECT_EQ(platform.shown[0].title, row.title);
        form.reset();
        platform.clearShown();
        std::filesystem::remove(dataFile("menu.dat"));
        test::WriteFileBytes(dataFile("menu.dat"), "\r\n\r\n\r\n\r\n\r\n");
    }
}

TEST_F(MainWindow, LoadingABookFillsTheListColumnsAndCommands) {
    start();
    std::string p = writeBook("libro.kbx", {Record("Luis Gil"), Record("Ana Ruiz", "555 1234")},
                              {FieldIndex(Field::fax), FieldIndex(Field::web)});
    open(p);
    EXPECT_EQ(names(), (std::vector<std::string>{"Ana Ruiz", "Luis Gil"}));
    EXPECT_EQ(rows()[0][FieldIndex(Field::telefono)], "555 1234");
    EXPECT_EQ(status(), QString::fromStdString(p));
    EXPECT_EQ(hiddenColumns(), 2);
    EXPECT_TRUE(header()->isSectionHidden(FieldIndex(Field::fax)));
    EXPECT_FALSE(viewItem(Field::fax)->isChecked());
    EXPECT_FALSE(viewItem(Field::web)->isChecked());
    EXPECT_TRUE(viewItem(Field::oficina)->isChecked());
    expectEnabled({"Guardar", "GuardarComo", "imprimir", "SeleccionarTodo1", "Buscar",
                   "BorrarAgenda", "AgregarReg"},
                  true);
    EXPECT_TRUE(menu("Mantenimiento1")->menuAction()->isEnabled());
    expectEnabled({"Cortar", "copiar", "EliminarReg", "ModificarReg", "EnviarMail"}, false);
    EXPECT_FALSE(asksToSaveChanges());
}

TEST_F(MainWindow, AFailedLoadLeavesTheWindowAsItWas) {
    start();
    std::string good = writeBook("bueno.kbx", {Record("Eva")}, {3});
    open(good);
    Lines bad = SplitLines(test::ReadFileBytes(good));
    bad.push_back("medio registro");
    test::WriteFileBytes(path("malo.kbx"), JoinLines(bad));
    ::mkfifo(path("tuberia.kbx").c_str(), 0600);

    for (const std::string& p : {path("malo.kbx"), path("no-existe.kbx"), path(""),
                                 path("tuberia.kbx"), std::string("/dev/zero")}) {
        platform.clearShown();
        open(p);
        ASSERT_EQ(platform.shown.size(), 1u) << p;
        EXPECT_EQ(platform.shown[0].text, U("Formato de archivo no válido"));
        EXPECT_EQ(platform.shown[0].title, "Error");
        EXPECT_EQ(platform.shown[0].icon, PlatformServices::Icon::Error);
        EXPECT_EQ(names(), std::vector<std::string>{"Eva"});
        EXPECT_EQ(status(), QString::fromStdString(good));
        EXPECT_TRUE(header()->isSectionHidden(3));
    }
    // A later save writes the good book over the good file, never over the bad one.
    press(Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(test::ReadFileBytes(path("malo.kbx")), JoinLines(bad));
    EXPECT_EQ(ReadTextLines(good).at(12), "Eva");
}

TEST_F(MainWindow, AFailedFirstLoadKeepsTheStartState) {
    start();
    test::WriteFileBytes(path("doce.kbx"), JoinLines(Lines(12, "YES")));
    open(path("doce.kbx"));
    EXPECT_FALSE(action("Guardar")->isEnabled());
    EXPECT_EQ(status(), "No Archivo");
    trigger("Salir"); // still the start state: Exit just closes
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainWindow, SavingWritesTheBookBackByteForByte) {
    start();
    std::string all;
    for (int b = 0x20; b < 0x100; ++b)
        all += static_cast<char>(b);
    ContactRecord odd = Record("\xC1ngel \xD1u\xF1"
                               "ez",
                               all, "a@b");
    std::string p = writeBook("libro.kbx", {Record("ana"), Record("Ana"), odd, Record("")}, {0, 6});
    const std::string before = test::ReadFileBytes(p);
    open(p);
    press(Qt::Key_G, Qt::ControlModifier);
    const std::string after = test::ReadFileBytes(p);
    writeBook("esperado.kbx", rows(), {0, 6}); // what the window shows, in its order
    EXPECT_EQ(after, test::ReadFileBytes(path("esperado.kbx")));
    // A file already in name order loads and saves back unchanged.
    open(path("esperado.kbx"));
    press(Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(test::ReadFileBytes(path("esperado.kbx")), after);
    EXPECT_EQ(before.size(), after.size());
}

TEST_F(MainWindow, SaveAsAlwaysAppendsKbx) {
    start();
    open(writeBook("uno.kbx", {Record("Eva")}));
    platform.saveNames = {QString::fromStdString(path("casa")),
                          QString::fromStdString(path("casa.kbx")), std::nullopt};
    trigger("GuardarComo");
    EXPECT_EQ(status(), QString::fromStdString(path("casa.kbx")));
    trigger("GuardarComo");
    EXPECT_EQ(status(), QString::fromStdString(path("casa.kbx.kbx")));
    EXPECT_TRUE(std::filesystem::exists(path("casa.kbx.kbx")));
    EXPECT_TRUE(platform.dialogFilters.back().startsWith("Agendas (*.kbx);;"));
    trigger("GuardarComo"); // cancelled: nothing changes
    EXPECT_EQ(status(), QString::fromStdString(path("casa.kbx.kbx")));
}

TEST_F(MainWindow, AWriteThatCannotHappenChangesNothing) {
    struct Row {
        const char* name;
        std::function<std::string(MainWindow&)> target; // a Save As name, or "" for Save
        std::string reason;
    } rows[] = {
        {"folder missing", [](MainWindow& t) { return t.path("no/hay/carpeta"); },
         "No such file or directory."},
        {"read-only book",
         [](MainWindow& t) {
             ::chmod(t.path("uno.kbx").c_str(), 0444);
             return std::string();
         },
         "Permission denied."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        start();
        const std::string book = writeBook("uno.kbx", {Record("Eva")});
        const std::string before = test::ReadFileBytes(book);
        open(book);
        const std::string target = row.target(*this);
        if (target.empty()) {
            trigger("Guardar");
        } else {
            platform.saveNames = {QString::fromStdString(target)};
            trigger("GuardarComo");
        }
        const std::string written = target.empty() ? book : target + ".kbx";
        ASSERT_EQ(platform.shown.size(), 1u);
        EXPECT_EQ(platform.shown[0].title, "KTRVO");
        EXPECT_EQ(platform.shown[0].text,
                  QString::fromStdString("Cannot create file \"" + written + "\". " + row.reason));
        EXPECT_EQ(status(), QString::fromStdString(book));
        EXPECT_EQ(test::ReadFileBytes(book), before);
        ::chmod(book.c_str(), 0644);
        form.reset();
        platform.clearShown();
    }
}

TEST_F(MainWindow, OrderingFollowsTheLocaleCaseSensitively) {
    start();
    std::vector<ContactRecord> records;
    for (const char* n : {"Zoe", "\xC1lvaro", "ana", "Ana", "alvaro", "\xF1u", "nu", "Nu", "o"})
        records.push_back(Record(n));
    open(writeBook("l.kbx", records));
    const std::vector<std::string> sorted{"alvaro", "\xC1lvaro", "ana", "Ana", "nu",
                                          "Nu",     "\xF1u",     "o",   "Zoe"};
    EXPECT_EQ(names(), sorted);
    // Off: the file order; on again: sorted at once; off: stays sorted.
    trigger("OrdenarAgenda1");
    open(path("l.kbx"));
    EXPECT_EQ(names()[0], "Zoe");
    trigger("OrdenarAgenda1");
    EXPECT_EQ(names(), sorted);
    trigger("OrdenarAgenda1");
    EXPECT_EQ(names(), sorted);
}

TEST_F(MainWindow, HidingEveryColumnAndShowingOneAgain) {
    start();
    open(writeBook("l.kbx", {Record("Eva")}));
    for (const FieldInfo& field : kFields)
        viewItem(field.field)->trigger();
    EXPECT_EQ(hiddenColumns(), 11);
    EXPECT_FALSE(asksToSaveChanges()); // column choices do not mark the book
    viewItem(Field::movil)->trigger();
    EXPECT_FALSE(header()->isSectionHidden(FieldIndex(Field::movil)));
    EXPECT_EQ(header()->sectionSize(FieldIndex(Field::movil)), list()->viewport()->width());
    // The next save stores the choice.
    press(Qt::Key_G, Qt::ControlModifier);
    Lines lines = ReadTextLines(path("l.kbx"));
    for (int k = 0; k < 11; ++k)
        EXPECT_EQ(lines[1 + k], k == FieldIndex(Field::movil) ? "YES" : "NO");
    // Resizing keeps hidden columns hidden and gives the shown one the width.
    form->resize(form->width() + 100, form->height());
    QApplication::processEvents();
    EXPECT_EQ(header()->sectionSize(FieldIndex(Field::movil)), list()->viewport()->width());
}

TEST_F(MainWindow, SelectingARowEnablesTheRowCommandsAndAnEmptyClickDisablesThem) {
    start();
    open(writeBook("l.kbx", {Record("a"), Record("b"), Record("c")}));
    clickRow(1);
    expectEnabled({"Cortar", "copiar", "EliminarReg", "ModificarReg", "EnviarMail"}, true);
    clickRow(2, Qt::ControlModifier);
    EXPECT_EQ(recordModifyShows()[0], "b"); // the first selected row is the chosen one
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                      QPoint(10, list()->viewport()->height() - 5));
    EXPECT_TRUE(selectedRows().empty());
    expectEnabled({"Cortar", "copiar", "EliminarReg", "ModificarReg", "EnviarMail"}, false);
}

TEST_F(MainWindow, SelectAllAndTheErrorBox) {
    start();
    open(writeBook("l.kbx", {Record("a"), Record("b")}));
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(), (std::vector<int>{0, 1}));
    // A handler's failure reaches the general error box: its text with the full-stop rule.
    std::filesystem::remove(path("l.kbx"));
    platform.yesNo = {true};
    trigger("BorrarAgenda");
    ASSERT_EQ(platform.shown.size(), 2u);
    EXPECT_EQ(platform.shown[1].title, "KTRVO");
    EXPECT_EQ(platform.shown[1].icon, PlatformServices::Icon::Error);
    EXPECT_EQ(platform.shown[1].text,
              QString::fromStdString("Cannot delete file \"" + path("l.kbx") +
                                     "\". No such file or directory."));
}
