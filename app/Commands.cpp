#include "app/Commands.h"

#include "app/Icons.h"
#include "book/ContactFields.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <algorithm>

using namespace veldrano;

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QAction* MakeAction(QMainWindow& window, const char* name, const char* caption,
                    const QKeySequence& key = {}, const char* hint = nullptr, bool icon = false) {
    auto* a = new QAction(U(caption), &window);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(key);
    if (hint)
        a->setToolTip(U(hint));
    if (icon)
        a->setIcon(Icons::Get(name));
    window.addAction(a); // shortcuts work wherever the focus is in the window
    return a;
}

} // namespace

Commands::Commands(QMainWindow& window) {
    createActions(window);
    createMenus(window);
    createToolBar(window);
}

void Commands::SetEnabled(std::initializer_list<QAction*> actions, bool on) {
    for (QAction* a : actions)
        a->setEnabled(on);
}

void Commands::createActions(QMainWindow& w) {
    using K = QKeySequence;
    Nueva = MakeAction(w, "Nueva", "&Nueva", K(Qt::CTRL | Qt::Key_N), "Nueva Agenda", true);
    Abrir = MakeAction(w, "Abrir", "&Abrir", K(Qt::CTRL | Qt::Key_A), "Abrir Agenda", true);
    Guardar = MakeAction(w, "Guardar", "&Guardar", K(Qt::CTRL | Qt::Key_G), "Guardar Agenda", true);
    GuardarComo = MakeAction(w, "GuardarComo", "Guardar &Como...");
    imprimir = MakeAction(w, "imprimir", "&Imprimir", K(Qt::CTRL | Qt::Key_P), "Imprimir", true);
    Salir = MakeAction(w, "Salir", "&Salir", {}, "Salir", true);
    for (int i = 0; i < 5; ++i)
        imenu[i] = MakeAction(w, ("imenu" + std::to_string(i + 1)).c_str(), "");
    Cortar = MakeAction(w, "Cortar", "&Cortar", K(Qt::CTRL | Qt::Key_X), "Cortar", true);
    copiar = MakeAction(w, "copiar", "&Copiar", K(Qt::CTRL | Qt::Key_C), "Copiar", true);
    Pegar = MakeAction(w, "Pegar", "&Pegar", K(Qt::CTRL | Qt::Key_V), "Pegar", true);
    SeleccionarTodo1 =
        MakeAction(w, "SeleccionarTodo1", "&Seleccionar Todo", K(Qt::CTRL | Qt::Key_Z));
    OrdenarAgenda1 = MakeAction(w, "OrdenarAgenda1", "&Ordenar Agenda");
    OrdenarAgenda1->setCheckable(true);
    OrdenarAgenda1->setChecked(true);
    Buscar = MakeAction(w, "Buscar", "&Buscar", K(Qt::Key_F3), "Buscar", true);
    BuscarSiguiente = MakeAction(w, "BuscarSiguiente", "Buscar &Siguiente", K(Qt::Key_F4));
    for (const FieldInfo& field : kFields) {
        QAction* item = MakeAction(w, field.viewItemName, field.viewItemCaption);
        item->setCheckable(true);
        item->setChecked(true);
        viewItem[FieldIndex(field.field)] = item;
    }
    AgregarReg = MakeAction(w, "AgregarReg", "&Agregar Registro", K(Qt::CTRL | Qt::Key_F1),
                            "Agregar Registro", true);
    EliminarReg = MakeAction(w, "EliminarReg", "&Borrar Registro", K(Qt::Key_Delete),
                             "Eliminar Registro", true);
    ModificarReg = MakeAction(w, "ModificarReg", "&Modificar Registro", K(Qt::CTRL | Qt::Key_F3),
                              "Modificar Registro", true);
    BorrarAgenda = MakeAction(w, "BorrarAgenda", "&Borrar Agenda", K(Qt::CTRL | Qt::Key_D),
                              "Borrar Agenda", true);
    EnviarMail = MakeAction(w, "EnviarMail", "&Enviar Correo Electrónico...", K(Qt::Key_F9),
                            "Enviar E-Mail", true);
    BrowseURL1 = MakeAction(w, "BrowseURL1", "&Navegar por internet", {}, "Browse URL", true);
    BrowseURL2 = MakeAction(w, "BrowseURL2", "&Contenido...", {}, nullptr, true);
    Enviaremailautor1 = MakeAction(w, "Enviaremailautor1", "&Enviar e-mail autor...");
    Acercade1 = MakeAction(w, "Acercade1", "&Acerca de...");
    Notas = MakeAction(w, "Notas", "&Anotaciones", K(Qt::Key_F10)); // no handler: F10 does nothing

    // The pop-up's own delete item shows Del but runs cut; its shortcut lives in the menu
    // only, so Del in the window stays the delete command's.
    BorrarRegistroPopup = new QAction(Icons::Get("BorrarRegistro"), U("&Borrar Registro"), &w);
    BorrarRegistroPopup->setObjectName(QStringLiteral("BorrarRegistroPopup"));
    BorrarRegistroPopup->setShortcut(K(Qt::Key_Delete));
    BorrarRegistroPopup->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(BorrarRegistroPopup, &QAction::triggered, Cortar, &QAction::trigger);
    QObject::connect(Cortar, &QAction::enabledChanged, BorrarRegistroPopup, &QAction::setEnabled);
}

void Commands::createMenus(QMainWindow& w) {
    QMenuBar* bar = w.menuBar();
    auto menu = [&](const char* name, const char* title) {
        QMenu* m = bar->addMenu(U(title));
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    QMenu* archivo = Archivo1 = menu("Archivo1", "&Archivo");
    archivo->addAction(Nueva);
    // The menu item reads "&Abrir..." while the command's caption is "&Abrir".
    QAction* abrirItem = archivo->addAction(Abrir->icon(), U("&Abrir..."));
    abrirItem->setObjectName(QStringLiteral("Abrir1"));
    abrirItem->setShortcut(Abrir->shortcut());
    abrirItem->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(abrirItem, &QAction::triggered, Abrir, &QAction::trigger);
    QObject::connect(Abrir, &QAction::enabledChanged, abrirItem, &QAction::setEnabled);
    QMenu* recientes = archivo->addMenu(U("Abrir &Reciente"));
    recientes->setObjectName(QStringLiteral("AbrirReciente1"));
    for (QAction* item : imenu)
        recientes->addAction(item);
    archivo->addActions({Guardar, GuardarComo});
    archivo->addSeparator();
    archivo->addAction(imprimir);
    archivo->addSeparator();
    archivo->addAction(Salir);

    QMenu* edicion = menu("Edicion1", "&Edición");
    edicion->addActions({Cortar, copiar, Pegar, SeleccionarTodo1});
    edicion->addSeparator();
    edicion->addAction(OrdenarAgenda1);
    edicion->addSeparator();
    edicion->addAction(Buscar);

    QMenu* ver = menu("Ver1", "&Ver");
    std::array<const FieldInfo*, kFieldCount> byPosition{};
    for (const FieldInfo& field : kFields)
        byPosition[field.viewMenuPosition] = &field;
    for (const FieldInfo* field : byPosition)
        ver->addAction(viewItem[FieldIndex(field->field)]);

    Mantenimiento1 = menu("Mantenimiento1", "&Mantenimiento");
    Mantenimiento1->addActions({AgregarReg, EliminarReg, ModificarReg});
    Mantenimiento1->addSeparator();
    Mantenimiento1->addAction(BorrarAgenda);

    menu("Tareas1", "&Tareas")->addActions({EnviarMail, BrowseURL1});

    QMenu* ayuda = menu("Ayuda1", "A&yuda");
    ayuda->addActions({BrowseURL2, Enviaremailautor1});
    ayuda->addSeparator();
    ayuda->addAction(Acercade1);

    PopupMenu1 = new QMenu(&w);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addActions({Cortar, copiar, Pegar});
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({AgregarReg, ModificarReg, BorrarRegistroPopup});
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(EnviarMail);
}

void Commands::createToolBar(QMainWindow& w) {
    // Always shown: the bar has no toggle of its own, and screen readers call it by a
    // Spanish name.
    ToolBar1 = new QToolBar(QStringLiteral("Barra de herramientas"), &w);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setAccessibleName(ToolBar1->windowTitle());
    ToolBar1->toggleViewAction()->setVisible(false);
    ToolBar1->toggleViewAction()->setEnabled(false);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(24, 24));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->addActions({Nueva, Abrir, Guardar, imprimir});
    ToolBar1->addSeparator();
    ToolBar1->addActions({copiar, Pegar, Cortar});
    ToolBar1->addSeparator();
    ToolBar1->addAction(Buscar);
    ToolBar1->addSeparator();
    ToolBar1->addActions({AgregarReg, EliminarReg, ModificarReg});
    ToolBar1->addSeparator();
    ToolBar1->addAction(BorrarAgenda);
    ToolBar1->addSeparator();
    ToolBar1->addActions({EnviarMail, BrowseURL1});
    ToolBar1->addSeparator();
    ToolBar1->addAction(Salir);
    w.addToolBar(Qt::TopToolBarArea, ToolBar1);
}
