#include "app/agenda.h"

#include "qtsupport/DataFolder.h"
#include "qtsupport/GeneralError.h"
#include "qtsupport/MailSettings.h"
#include "mail/Unit6.h"
#include "app/add.h"
#include "app/Unit3.h"
#include "app/Unit4.h"
#include "app/Icons.h"
#include "app/PrintBuffer.h"
#include "qtsupport/TextCodec.h"
#include "BuildInfo.h"
#include "book/BookFile.h"
#include "book/RecentFiles.h"
#include "book/TextFile.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QCloseEvent>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPrinter>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

using namespace veldrano;

namespace {

constexpr int kClientWidth = 689;
constexpr int kClientHeight = 487;

// The "&Ver" menu lists the columns in this order; each item controls its own field.
constexpr std::array<Field, kFieldCount> kViewMenuOrder = {
    Field::nombre,       Field::direccion, Field::telefono, Field::movil,
    Field::cp,           Field::e_mail,    Field::fax,      Field::organizacion,
    Field::departamento, Field::oficina,   Field::web,
};

const char* const kViewItemCaption[kFieldCount] = {
    "Nombre y Apellidos", "Dirección",    "Teléfono",   "e-mail",  "Código Postal", "Móvil", "Fax",
    "Organización",       "Departamento", "Página Web", "Oficina",
};

const char* const kViewItemName[kFieldCount] = {
    "NombreyApellidos", "Direccion",    "telefono", "email",   "CodigoPostal", "movil", "fax",
    "organizacion",     "departamento", "web",      "oficina",
};

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

std::string PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
QString PathText(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace

void ListView::keyPressEvent(QKeyEvent* event) {
    // The book's own copy and select-all are commands; the system clipboard stays untouched.
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
        event->ignore();
        return;
    }
    QTreeView::keyPressEvent(event);
}

TForm1::TForm1(PlatformServices& services, QWidget* parent)
    : QMainWindow(parent), platform(services), memo1(std::make_unique<TPrintBuffer>()),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("VELDRANO"));
    createActions();
    createMenus();
    createToolBar();
    createList();
    FormCreate();

    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (QScreen* screen = this->screen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

TForm1::~TForm1() = default;

void TForm1::attachDialogs(TForm2* add, Tform3* modify, TForm4* search, TForm6* mail,
                           QDialog* about) {
    Form2 = add;
    Form3 = modify;
    Form4 = search;
    Form6 = mail;
    Form7 = about;
}

// ---------------------------------------------------------------- building the window

static QAction* MakeAction(QObject* owner, const char* name, const char* caption,
                           const QKeySequence& key, const char* hint, const QIcon& icon = {}) {
    auto* a = new QAction(icon, QString::fromUtf8(caption), owner);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(key);
    if (hint)
        a->setToolTip(QString::fromUtf8(hint));
    return a;
}

void TForm1::bindCommand(QAction* action, void (TForm1::*handler)()) {
    connect(action, &QAction::triggered, this,
            [this, handler] { Guarded([=, this] { (this->*handler)(); }); });
    addAction(action); // shortcuts work wherever the focus is in the window
}

void TForm1::createActions() {
    Nueva = MakeAction(this, "Nueva", "&Nueva", QKeySequence(Qt::CTRL | Qt::Key_N), "Nueva Agenda",
                       Icons::Get("Nueva"));
    Abrir = MakeAction(this, "Abrir", "&Abrir", QKeySequence(Qt::CTRL | Qt::Key_A), "Abrir Agenda",
                       Icons::Get("Abrir"));
    Guardar = MakeAction(this, "Guardar", "&Guardar", QKeySequence(Qt::CTRL | Qt::Key_G),
                         "Guardar Agenda", Icons::Get("Guardar"));
    GuardarComo = MakeAction(this, "GuardarComo", "Guardar &Como...", {}, nullptr);
    imprimir = MakeAction(this, "imprimir", "&Imprimir", QKeySequence(Qt::CTRL | Qt::Key_P),
                          "Imprimir", Icons::Get("imprimir"));
    Salir = MakeAction(this, "Salir", "&Salir", {}, "Salir", Icons::Get("Salir"));
    for (int i = 0; i < 5; ++i) {
        imenu[i] = new QAction(this);
        imenu[i]->setObjectName(QStringLiteral("imenu%1").arg(i + 1));
        connect(imenu[i], &QAction::triggered, this,
                [this, i] { Guarded([=, this] { imenuClick(i); }); });
    }
    Cortar = MakeAction(this, "Cortar", "&Cortar", QKeySequence(Qt::CTRL | Qt::Key_X), "Cortar",
                        Icons::Get("Cortar"));
    copiar = MakeAction(this, "copiar", "&Copiar", QKeySequence(Qt::CTRL | Qt::Key_C), "Copiar",
                        Icons::Get("copiar"));
    Pegar = MakeAction(this, "Pegar", "&Pegar", QKeySequence(Qt::CTRL | Qt::Key_V), "Pegar",
                       Icons::Get("Pegar"));
    SeleccionarTodo1 = MakeAction(this, "SeleccionarTodo1", "&Seleccionar Todo",
                                  QKeySequence(Qt::CTRL | Qt::Key_Z), nullptr);
    OrdenarAgenda1 = MakeAction(this, "OrdenarAgenda1", "&Ordenar Agenda", {}, nullptr);
    OrdenarAgenda1->setCheckable(true);
    OrdenarAgenda1->setChecked(true);
    Buscar = MakeAction(this, "Buscar", "&Buscar", QKeySequence(Qt::Key_F3), "Buscar",
                        Icons::Get("Buscar"));
    BuscarSiguiente =
        MakeAction(this, "BuscarSiguiente", "Buscar &Siguiente", QKeySequence(Qt::Key_F4), nullptr);
    for (int f = 0; f < kFieldCount; ++f) {
        viewItem[f] = MakeAction(this, kViewItemName[f], kViewItemCaption[f], {}, nullptr);
        viewItem[f]->setCheckable(true);
        viewItem[f]->setChecked(true);
        connect(viewItem[f], &QAction::triggered, this,
                [this, f] { Guarded([=, this] { ViewItemClick(f); }); });
    }
    AgregarReg =
        MakeAction(this, "AgregarReg", "&Agregar Registro", QKeySequence(Qt::CTRL | Qt::Key_F1),
                   "Agregar Registro", Icons::Get("AgregarReg"));
    EliminarReg = MakeAction(this, "EliminarReg", "&Borrar Registro", QKeySequence(Qt::Key_Delete),
                             "Eliminar Registro", Icons::Get("EliminarReg"));
    ModificarReg =
        MakeAction(this, "ModificarReg", "&Modificar Registro", QKeySequence(Qt::CTRL | Qt::Key_F3),
                   "Modificar Registro", Icons::Get("ModificarReg"));
    BorrarAgenda =
        MakeAction(this, "BorrarAgenda", "&Borrar Agenda", QKeySequence(Qt::CTRL | Qt::Key_D),
                   "Borrar Agenda", Icons::Get("BorrarAgenda"));
    EnviarMail = MakeAction(this, "EnviarMail", "&Enviar Correo Electrónico...",
                            QKeySequence(Qt::Key_F9), "Enviar E-Mail", Icons::Get("EnviarMail"));
    BrowseURL1 = MakeAction(this, "BrowseURL1", "&Navegar por internet", {}, "Browse URL",
                            Icons::Get("BrowseURL1"));
    BrowseURL2 =
        MakeAction(this, "BrowseURL2", "&Contenido...", {}, nullptr, Icons::Get("BrowseURL2"));
    Enviaremailautor1 =
        MakeAction(this, "Enviaremailautor1", "&Enviar e-mail autor...", {}, nullptr);
    Acercade1 = MakeAction(this, "Acercade1", "&Acerca de...", {}, nullptr);
    Notas = MakeAction(this, "Notas", "&Anotaciones", QKeySequence(Qt::Key_F10), nullptr);
    addAction(Notas); // a command without a handler: F10 does nothing

    // The pop-up's own delete item shows Del but runs cut; its shortcut lives in the menu only,
    // so Del in the window stays the delete command's.
    BorrarRegistroPopup = MakeAction(this, "BorrarRegistroPopup", "&Borrar Registro", {}, nullptr,
                                     Icons::Get("BorrarRegistro"));
    BorrarRegistroPopup->setShortcut(QKeySequence(Qt::Key_Delete));
    BorrarRegistroPopup->setShortcutContext(Qt::WidgetShortcut);
    connect(BorrarRegistroPopup, &QAction::triggered, Cortar, &QAction::trigger);
    // The pop-up item follows the enabled state of the command it runs.
    connect(Cortar, &QAction::enabledChanged, BorrarRegistroPopup, &QAction::setEnabled);

    bindCommand(Nueva, &TForm1::NuevaExecute);
    bindCommand(Abrir, &TForm1::AbrirExecute);
    bindCommand(Guardar, &TForm1::GuardarExecute);
    bindCommand(GuardarComo, &TForm1::GuardarComoClick);
    bindCommand(imprimir, &TForm1::imprimirExecute);
    bindCommand(Salir, &TForm1::SalirExecute);
    bindCommand(Cortar, &TForm1::CortarExecute);
    bindCommand(copiar, &TForm1::copiarExecute);
    bindCommand(Pegar, &TForm1::PegarExecute);
    bindCommand(SeleccionarTodo1, &TForm1::SeleccionarTodo1Click);
    bindCommand(OrdenarAgenda1, &TForm1::OrdenarAgenda1Click);
    bindCommand(Buscar, &TForm1::BuscarExecute);
    bindCommand(BuscarSiguiente, &TForm1::BuscarSiguienteExecute);
    bindCommand(AgregarReg, &TForm1::AgregarRegExecute);
    bindCommand(EliminarReg, &TForm1::EliminarRegExecute);
    bindCommand(ModificarReg, &TForm1::ModificarRegExecute);
    bindCommand(BorrarAgenda, &TForm1::BorrarAgendaExecute);
    bindCommand(EnviarMail, &TForm1::EnviarMailExecute);
    bindCommand(BrowseURL1, &TForm1::BrowseURL1Execute);
    bindCommand(BrowseURL2, &TForm1::BrowseURL2Execute);
    bindCommand(Enviaremailautor1, &TForm1::Enviaremailautor1Click);
    bindCommand(Acercade1, &TForm1::Acercade1Click);
}

void TForm1::createMenus() {
    QMenuBar* bar = menuBar();
    QMenu* archivo = bar->addMenu(U("&Archivo"));
    archivo->setObjectName(QStringLiteral("Archivo1"));
    archivo->addAction(Nueva);
    // The menu item reads "&Abrir..." while the command's caption is "&Abrir".
    QAction* abrirItem = archivo->addAction(U("&Abrir..."));
    abrirItem->setObjectName(QStringLiteral("Abrir1"));
    abrirItem->setIcon(Abrir->icon());
    abrirItem->setShortcut(Abrir->shortcut());
    abrirItem->setShortcutContext(Qt::WidgetShortcut);
    connect(abrirItem, &QAction::triggered, Abrir, &QAction::trigger);
    connect(Abrir, &QAction::enabledChanged, abrirItem, &QAction::setEnabled);
    QMenu* recientes = archivo->addMenu(U("Abrir &Reciente"));
    recientes->setObjectName(QStringLiteral("AbrirReciente1"));
    for (QAction* item : imenu)
        recientes->addAction(item);
    archivo->addAction(Guardar);
    archivo->addAction(GuardarComo);
    archivo->addSeparator();
    archivo->addAction(imprimir);
    archivo->addSeparator();
    archivo->addAction(Salir);

    QMenu* edicion = bar->addMenu(U("&Edición"));
    edicion->setObjectName(QStringLiteral("Edicion1"));
    edicion->addAction(Cortar);
    edicion->addAction(copiar);
    edicion->addAction(Pegar);
    edicion->addAction(SeleccionarTodo1);
    edicion->addSeparator();
    edicion->addAction(OrdenarAgenda1);
    edicion->addSeparator();
    edicion->addAction(Buscar);

    QMenu* ver = bar->addMenu(U("&Ver"));
    ver->setObjectName(QStringLiteral("Ver1"));
    for (Field f : kViewMenuOrder)
        ver->addAction(viewItem[FieldIndex(f)]);

    Mantenimiento1 = bar->addMenu(U("&Mantenimiento"));
    Mantenimiento1->setObjectName(QStringLiteral("Mantenimiento1"));
    Mantenimiento1->addAction(AgregarReg);
    Mantenimiento1->addAction(EliminarReg);
    Mantenimiento1->addAction(ModificarReg);
    Mantenimiento1->addSeparator();
    Mantenimiento1->addAction(BorrarAgenda);

    QMenu* tareas = bar->addMenu(U("&Tareas"));
    tareas->setObjectName(QStringLiteral("Tareas1"));
    tareas->addAction(EnviarMail);
    tareas->addAction(BrowseURL1);

    QMenu* ayuda = bar->addMenu(U("A&yuda"));
    ayuda->setObjectName(QStringLiteral("Ayuda1"));
    ayuda->addAction(BrowseURL2);
    ayuda->addAction(Enviaremailautor1);
    ayuda->addSeparator();
    ayuda->addAction(Acercade1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(Cortar);
    PopupMenu1->addAction(copiar);
    PopupMenu1->addAction(Pegar);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(AgregarReg);
    PopupMenu1->addAction(ModificarReg);
    PopupMenu1->addAction(BorrarRegistroPopup);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(EnviarMail);
}

void TForm1::createToolBar() {
    ToolBar1 = new QToolBar(QStringLiteral("ToolBar1"), this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(24, 24));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    for (QAction* a : {Nueva, Abrir, Guardar, imprimir})
        ToolBar1->addAction(a);
    ToolBar1->addSeparator();
    for (QAction* a : {copiar, Pegar, Cortar})
        ToolBar1->addAction(a);
    ToolBar1->addSeparator();
    ToolBar1->addAction(Buscar);
    ToolBar1->addSeparator();
    for (QAction* a : {AgregarReg, EliminarReg, ModificarReg})
        ToolBar1->addAction(a);
    ToolBar1->addSeparator();
    ToolBar1->addAction(BorrarAgenda);
    ToolBar1->addSeparator();
    ToolBar1->addAction(EnviarMail);
    ToolBar1->addAction(BrowseURL1);
    ToolBar1->addSeparator();
    ToolBar1->addAction(Salir);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
}

void TForm1::createList() {
    model = new BookModel(this);
    ListView1 = new ListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setModel(model);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSortingEnabled(false);
    ListView1->setTextElideMode(Qt::ElideRight);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView* header = ListView1->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(1);
    header->setSectionResizeMode(QHeaderView::Interactive);
    setCentralWidget(ListView1);

    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->popup(ListView1->viewport()->mapToGlobal(pos));
    });
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                if (m_removing)
                    return;
                Guarded([&] {
                    listview1onchange();
                    if (!selected.isEmpty())
                        ListView1SelectItem();
                });
            });
    connect(ListView1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (!m_removing)
            Guarded([this] { listview1onchange(); });
    });
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this] { Guarded([this] { listview1onchange(); }); });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this] { Guarded([this] { listview1onchange(); }); });
    ListView1->viewport()->installEventFilter(this);

    StatusPanel = new QLabel(U("No Archivo"), this);
    StatusPanel->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->addWidget(StatusPanel, 1);
    statusBar()->setSizeGripEnabled(true);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListView1->viewport()) {
        if (event->type() == QEvent::MouseButtonRelease)
            ListView1Click();
        else if (event->type() == QEvent::Resize)
            applyColumns(); // the shown columns share the new width
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- creation step

void TForm1::FormCreate() {
    state.ListaTrabajo.clear();
    state.ListaCopia.clear();
    for (QAction* item : imenu)
        item->setVisible(false);
    state.BorradoUltimo = false;
    state.ColumnasVisibles = kFieldCount;
    setUpRecentItems();
    state.ArchivoNuevo = true;
    state.SinAgenda = true;
    state.Modificado = false;
    IndiceElegido = 0;
    state.PosBusqueda = 0;
    state.RegistroElegido = false;
    state.SeguirBuscando = true;
    Mantenimiento1->menuAction()->setEnabled(false);
    for (QAction* a :
         {ModificarReg, EnviarMail, Guardar, GuardarComo, Cortar, copiar, Pegar, SeleccionarTodo1,
          Buscar, BuscarSiguiente, imprimir, BorrarAgenda, EliminarReg, AgregarReg})
        a->setEnabled(false);
    ResetColumns(state, m_columns, ListView1->width());
}

QString TForm1::menuDatPath() const {
    return DataFolder::Path() + QStringLiteral("/menu.dat");
}

void TForm1::setUpRecentItems() {
    // A missing or short list reads as empty slots, so the window always finishes starting.
    try {
        state.ListaRecientes = ReadTextLines(DataFolder::File("menu.dat"));
    } catch (const FileError& e) {
        state.ListaRecientes.clear();
        showGeneralError(GeneralError::DecodeMessage(e.what()));
    }
    if (state.ListaRecientes.size() < kRecentCount)
        state.ListaRecientes.resize(kRecentCount);
    for (int i = 0; i < kRecentCount; ++i) {
        const std::string& line = state.ListaRecientes[i];
        if (i == 0 && line.empty()) {
            imenu[0]->setText(U("Vacío"));
            imenu[0]->setEnabled(false);
            imenu[0]->setVisible(true);
        } else if (!line.empty()) {
            // A path may hold "&"; it is a file name, not a mnemonic.
            imenu[i]->setText(PathText(line).replace(QLatin1Char('&'), QStringLiteral("&&")));
            imenu[i]->setVisible(true);
        }
    }
    try {
        WriteTextLines("menu.dat", state.ListaRecientes);
    } catch (const FileError& e) {
        showGeneralError(GeneralError::DecodeMessage(e.what()));
    }
}

// ---------------------------------------------------------------- errors

void TForm1::showGeneralError(const QString& text) {
    GeneralError::Show(this, platform, text);
}

void TForm1::Guarded(const std::function<void()>& handler) {
    GeneralError::Guard(this, platform, handler);
}

// ---------------------------------------------------------------- selection and list events

int TForm1::FirstSelectedRow() const {
    int first = -1;
    for (const QItemSelectionRange& range : ListView1->selectionModel()->selection())
        if (first == -1 || range.top() < first)
            first = range.top();
    return first;
}

std::vector<int> TForm1::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : ListView1->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool TForm1::IsRowSelected(int row) const {
    return ListView1->selectionModel()->isRowSelected(row, {});
}

void TForm1::SelectRow(int row) {
    ListView1->selectionModel()->select(model->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TForm1::DeselectRow(int row) {
    ListView1->selectionModel()->select(model->index(row, 0),
                                        QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void TForm1::DeselectAll() {
    ListView1->selectionModel()->clearSelection();
}

void TForm1::ListView1SelectItem() {
    state.RegistroElegido = true;
    for (QAction* a : {Cortar, copiar, EliminarReg, ModificarReg, EnviarMail})
        a->setEnabled(true);
}

void TForm1::ListView1Click() {
    IndiceElegido = FirstSelectedRow();
}

void TForm1::setBookCommandsEnabled(bool on) {
    for (QAction* a : {BorrarAgenda, imprimir, Guardar, GuardarComo, SeleccionarTodo1, Buscar})
        a->setEnabled(on);
}

void TForm1::listview1onchange() {
    IndiceElegido = FirstSelectedRow();
    const int rows = model->rowCount();
    if (rows == 0 || IndiceElegido == -1)
        for (QAction* a : {Cortar, copiar, EliminarReg, ModificarReg, EnviarMail})
            a->setEnabled(false);
    if (rows == 1 && state.ListaActivada && IndiceElegido == -1 && state.BorradoUltimo) {
        setBookCommandsEnabled(false); // the last record is going
    } else {
        setBookCommandsEnabled(true);
        state.ListaActivada = true;
    }
}

void TForm1::SeleccionarTodo1Click() {
    ListView1->selectAll();
}

void TForm1::OrdenarAgenda1Click() {
    model->setSorting(OrdenarAgenda1->isChecked());
}

// ---------------------------------------------------------------- columns

void TForm1::OcultarColumna(int k) {
    veldrano::OcultarColumna(state, m_columns, k);
}

void TForm1::MostrarColumna(int k) {
    veldrano::MostrarColumna(state, m_columns, k);
}

void TForm1::RefrescarColumnas() {
    veldrano::RefrescarColumnas(state, m_columns, ListView1->width());
    applyColumns();
}

void TForm1::ViewItemClick(int field) {
    // The action has flipped its own check mark already.
    if (viewItem[field]->isChecked())
        MostrarColumna(field);
    else
        OcultarColumna(field);
    RefrescarColumnas();
}

void TForm1::applyColumns() {
    ShareAutoWidths(m_columns, ListView1->viewport()->width());
    QHeaderView* header = ListView1->header();
    for (int k = 0; k < kFieldCount; ++k) {
        const bool hidden = state.ColumnaOculta[k] == -1;
        header->setSectionHidden(k, hidden);
        if (!hidden)
            header->resizeSection(k, m_columns[k].width);
    }
}

// ---------------------------------------------------------------- the book file

void TForm1::CargarAgenda(const QString& path) {
    // Everything is read and checked before the window changes, so a bad file leaves the
    // window, its file name and the next save exactly as they were.
    BookContents book;
    try {
        state.ListaTrabajo = ReadTextLines(PathBytes(path));
        book = ParseBook(state.ListaTrabajo);
    } catch (const std::exception&) {
        state.ListaTrabajo.clear();
        platform.showMessage(this, U("Error"), U("Formato de archivo no válido"),
                             PlatformServices::Icon::Error);
        return;
    }
    state.BorradoUltimo = false;
    state.ArchivoActual = PathBytes(path);
    StatusPanel->setText(path);
    m_removing = true;
    model->clear();
    m_removing = false;
    ResetColumns(state, m_columns, ListView1->width());
    for (QAction* item : viewItem)
        item->setChecked(true);
    for (int k = 0; k < kFieldCount; ++k) {
        if (book.hidden[k]) {
            OcultarColumna(k);
            viewItem[k]->setChecked(false);
            RefrescarColumnas();
        }
    }
    applyColumns();
    const bool any = !book.records.empty();
    model->setRecords(std::move(book.records));
    if (any)
        listview1onchange(); // as the rows arriving one by one would have
    state.ArchivoNuevo = false;
    state.SinAgenda = false;
    Mantenimiento1->menuAction()->setEnabled(true);
    for (QAction* a :
         {Guardar, imprimir, Buscar, BorrarAgenda, AgregarReg, GuardarComo, SeleccionarTodo1})
        a->setEnabled(true);
    state.Modificado = false;
    state.ListaTrabajo.clear();
}

void TForm1::AbrirAgenda() {
    auto name = platform.getOpenFileName(this, U("Abrir Agenda"), U("Archivos Agenda (*.kbx)"));
    if (name)
        CargarAgenda(*name);
}

namespace {
// Writes the book and removes the file again when the book has no records: an empty book
// is never left on disk.
void WriteBook(WindowState& state, const BookModel& model, const std::string& target) {
    state.ListaTrabajo = BookToLines(state.ColumnaOculta, model.records());
    try {
        WriteTextLines(target, state.ListaTrabajo);
    } catch (...) {
        state.ListaTrabajo.clear(); // nothing of a failed write reaches the next one
        throw;
    }
}
} // namespace

void TForm1::GuardarAgenda() {
    const std::string target = state.ArchivoActual;
    WriteBook(state, *model, target);
    if (model->rowCount() == 0)
        RemoveFile(target);
    state.ListaTrabajo.clear();
    state.ArchivoNuevo = false;
    state.SinAgenda = false;
}

void TForm1::GuardarAgendaComo() {
    auto name = platform.getSaveFileName(this, U("Guardar Agenda"), U("Agendas (*.kbx)"));
    if (!name)
        return;
    const std::string target = PathBytes(*name + QStringLiteral(".kbx"));
    WriteBook(state, *model, target);
    state.ArchivoActual = target;
    if (model->rowCount() == 0)
        RemoveFile(target);
    state.ListaTrabajo.clear();
    state.ArchivoNuevo = false;
    state.SinAgenda = false;
}

// ---------------------------------------------------------------- file commands

void TForm1::saveQuestion() {
    if (state.ArchivoNuevo) {
        if (model->rowCount() > 0 &&
            platform.askYesNo(this, U("Aviso!"), U("Desea guardar el archivo nuevo que ha usado?"),
                              PlatformServices::Icon::Question))
            GuardarAgendaComo();
    } else if (state.Modificado) {
        if (platform.askYesNo(this, U("Aviso!"), U("Desea guardar los cambios realizados?"),
                              PlatformServices::Icon::Question))
            GuardarAgenda();
    }
}

void TForm1::NuevaAgenda() {
    Mantenimiento1->menuAction()->setEnabled(true);
    StatusPanel->setText(U("Archivo Nuevo."));
    for (QAction* a : {EliminarReg, Guardar, GuardarComo, imprimir})
        a->setEnabled(false);
    AgregarReg->setEnabled(true);
    for (QAction* a : {Buscar, SeleccionarTodo1, BorrarAgenda})
        a->setEnabled(false);
    m_removing = true;
    model->clear();
    m_removing = false;
    state.ArchivoNuevo = true;
    state.SinAgenda = false;
    state.Modificado = false;
}

void TForm1::NuevaExecute() {
    state.BorradoUltimo = false;
    saveQuestion();
    NuevaAgenda();
}

void TForm1::AbrirExecute() {
    saveQuestion();
    AbrirAgenda();
}

void TForm1::imenuClick(int i) {
    // Unlike a plain load, a recent item asks first: loading over unsaved changes loses them.
    saveQuestion();
    CargarAgenda(PathText(state.ListaRecientes.at(i)));
}

void TForm1::GuardarExecute() {
    if (state.ArchivoNuevo)
        GuardarAgendaComo();
    else
        GuardarAgenda();
    StatusPanel->setText(PathText(state.ArchivoActual));
}

void TForm1::GuardarComoClick() {
    GuardarAgendaComo();
    StatusPanel->setText(PathText(state.ArchivoActual));
}

void TForm1::BorrarAgendaExecute() {
    if (!platform.askYesNo(
            this, U("Aviso"),
            U("Esta seguro que desea borrar todos los datos de la agenda y comenzar una nueva?"),
            PlatformServices::Icon::None))
        return;
    // The file goes first: when it cannot be deleted the book stays in the window.
    if (!state.ArchivoNuevo)
        RemoveFile(state.ArchivoActual);
    m_removing = true;
    model->clear();
    m_removing = false;
    NuevaAgenda();
}

void TForm1::GuardarRecientes() {
    try {
        Lines old = ReadTextLines(DataFolder::File("menu.dat"));
        if (old.size() < static_cast<size_t>(kRecentCount))
            throw FileError("short");
        WriteTextLines(DataFolder::File("menu.dat"),
                       RotateRecent(old, state.ArchivoActual, state.ArchivoNuevo));
    } catch (const FileError&) {
        platform.showMessage(
            this, U("Error"),
            U("No se encuentra %1 o formato de archivo no válido").arg(menuDatPath()),
            PlatformServices::Icon::Error);
    }
}

void TForm1::exitSteps() {
    if (state.SinAgenda)
        return;
    if (state.ArchivoNuevo) {
        if (model->rowCount() == 0)
            return;
        if (platform.askYesNo(this, U("Aviso!"),
                              U("Desea guardar el archivo nuevo que estaba usando?"),
                              PlatformServices::Icon::Question))
            GuardarAgendaComo();
        GuardarRecientes();
        return;
    }
    if (state.Modificado) {
        if (platform.askYesNo(this, U("Aviso!"), U("Desea guardar los cambios realizados?"),
                              PlatformServices::Icon::Question))
            GuardarAgenda();
    } else {
        GuardarAgenda(); // stores the column choices of this session
    }
    GuardarRecientes();
}

void TForm1::leave() {
    // A failed save throws out of here: the window stays open and menu.dat is untouched.
    exitSteps();
    state.ListaCopia.clear();
    state.ListaTrabajo.clear();
    state.ListaRecientes.clear();
    m_exitDone = true;
}

void TForm1::SalirExecute() {
    leave();
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The close box and Alt+F4 leave the way the Exit command does, so no change is lost.
    if (!m_exitDone)
        Guarded([this] { leave(); });
    if (m_exitDone)
        event->accept();
    else
        event->ignore();
}

// ---------------------------------------------------------------- records

void TForm1::AgregarRegExecute() {
    Form2->exec();
}

void TForm1::ModificarRegExecute() {
    if (state.RegistroElegido && IndiceElegido != -1)
        Form3->exec();
    else
        platform.showMessage(this, U("Aviso"),
                             U("Debe elegir el componente a modificar de la lista"),
                             PlatformServices::Icon::Error);
}

void TForm1::deleteSelected() {
    state.Modificado = true;
    state.BorradoUltimo = model->rowCount() == 1;
    if (!state.RegistroElegido)
        return;
    std::vector<int> rows = SelectedRows();
    if (rows.empty())
        return;
    // The rows are deselected first, as the list reports it while they are still there;
    // the list-change rule sees the last record going.
    DeselectAll();
    m_removing = true;
    model->removeRowsAt(std::move(rows));
    m_removing = false;
}

void TForm1::EliminarRegExecute() {
    deleteSelected();
}

// ---------------------------------------------------------------- copy, cut and paste

void TForm1::copiarExecute() {
    state.ListaCopia.clear();
    NumCopiados = 0;
    for (int row : SelectedRows()) {
        for (const std::string& field : model->record(row))
            state.ListaCopia.push_back(field);
        ++NumCopiados;
    }
    copiar->setEnabled(false);
    Pegar->setEnabled(true);
    state.Modificado = true;
}

void TForm1::PegarExecute() {
    std::vector<ContactRecord> records(static_cast<size_t>(NumCopiados));
    for (int k = 0; k < NumCopiados; ++k)
        for (int f = 0; f < kFieldCount; ++f)
            records[k][f] = state.ListaCopia.at(static_cast<size_t>(k) * kFieldCount + f);
    model->appendRecords(std::move(records));
    state.ListaCopia.clear();
    copiar->setEnabled(true);
    Pegar->setEnabled(false);
}

void TForm1::CortarExecute() {
    deleteSelected();
}

// ---------------------------------------------------------------- search

void TForm1::BuscarExecute() {
    Form4->exec();
}

void TForm1::BuscarSiguienteExecute() {
    const int last = model->rowCount() - 1;
    const std::string text = TextCodec::FromQString(Form4->buscar->text());
    const bool caseSensitive = Form4->OpcionBusqueda->isChecked();
    state.SeguirBuscando = true;
    DeselectRow(state.PosBusqueda);
    while (state.PosBusqueda < last && state.SeguirBuscando) {
        ++state.PosBusqueda;
        if (TForm4::NameMatches(model->record(state.PosBusqueda)[0], text, caseSensitive)) {
            SelectRow(state.PosBusqueda);
            state.SeguirBuscando = false;
        }
    }
    if (state.PosBusqueda >= last) {
        state.SeguirBuscando = false;
        Buscar->setEnabled(true);
        BuscarSiguiente->setEnabled(false);
        state.PosBusqueda = 0;
        state.SeguirBuscando = true;
    }
}

// ---------------------------------------------------------------- help, web, about, mail

void TForm1::BrowseURL1Execute() {
    platform.openUrl(QUrl(QStringLiteral(VELDRANO_AUTHOR_WEB)));
}

void TForm1::BrowseURL2Execute() {
    platform.openUrl(QUrl::fromLocalFile(DataFolder::HelpPagePath()));
}

void TForm1::Acercade1Click() {
    Form7->exec();
}

void TForm1::EnviarMailExecute() {
    QLineEdit* const edits[3] = {Form6->servidor, Form6->usuario, Form6->contrasena};
    auto fill = [&](const std::vector<std::string>& values) {
        for (size_t i = 0; i < 3; ++i)
            edits[i]->setText(i < values.size() ? TextCodec::ToQString(values[i]) : QString());
    };
    try {
        const MailSettings settings = MailSettings::Load();
        fill({settings.servidor, settings.usuario, settings.contrasena});
        const ContactRecord& record = model->record(IndiceElegido);
        Form6->destino->setText(TextCodec::ToQString(record[FieldIndex(Field::e_mail)]));
    } catch (const std::exception& e) {
        // A short file fills what it has, as reading it line by line would.
        if (auto* shortFile = dynamic_cast<const MailSettingsShortFile*>(&e))
            fill(shortFile->lines);
        platform.showMessage(this, U("Error"),
                             U("No se encuentra CORREO.CFG o formato de archivo no válido"),
                             PlatformServices::Icon::Error);
        return;
    }
    Form6->exec();
}

void TForm1::Enviaremailautor1Click() {
    Form6->destino->setText(QString::fromUtf8(VELDRANO_AUTHOR_EMAIL));
    Form6->exec();
}

void TForm1::imprimirExecute() {
    PrintBook(this, platform, *m_printer, *memo1, model->records(),
              DataFolder::File("imprimir.prn"));
}
