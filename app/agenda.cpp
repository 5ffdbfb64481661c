#include "app/agenda.h"

#include "BuildInfo.h"
#include "app/BookList.h"
#include "model/BookModel.h"
#include "app/Commands.h"
#include "app/FileCommands.h"
#include "app/MailCommands.h"
#include "app/PrintBuffer.h"
#include "app/RecordCommands.h"
#include "app/SearchCommands.h"
#include "app/WindowSync.h"
#include "qtsupport/DataFolder.h"
#include "qtsupport/GeneralError.h"
#include "qtsupport/PlatformServices.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>

using namespace veldrano;

namespace {

constexpr int kClientWidth = 689;
constexpr int kClientHeight = 487;

} // namespace

TForm1::TForm1(PlatformServices& platform, QWidget* parent)
    : QMainWindow(parent), m_platform(platform), m_printBuffer(std::make_unique<TPrintBuffer>()),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("VELDRANO"));
    setAcceptDrops(true);
    m_commands = std::make_unique<Commands>(*this);
    m_model = new BookModel(this);
    m_list = new BookList(this, m_platform, *m_model, m_state, *m_commands);
    setCentralWidget(m_list->view());
    m_status = new QLabel(QStringLiteral("No Archivo"), this);
    m_status->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->addWidget(m_status, 1);
    statusBar()->setSizeGripEnabled(true);
    m_files =
        new FileCommands(*this, m_platform, m_state, *m_model, *m_list, *m_commands, *m_status);
    m_sync = new WindowSync(*this, m_platform, m_state, *m_model, *m_commands, *m_status, *m_files);
    m_files->setSync(m_sync);

    Commands& c = *m_commands;
    FileCommands& files = *m_files;
    bind(c.Nueva, [&files] { files.NuevaExecute(); });
    bind(c.Abrir, [&files] { files.AbrirExecute(); });
    for (int i = 0; i < 5; ++i)
        bind(c.imenu[i], [&files, i] { files.imenuClick(i); });
    bind(c.Guardar, [&files] { files.GuardarExecute(); });
    bind(c.GuardarComo, [&files] { files.GuardarComoClick(); });
    bind(c.BorrarAgenda, [&files] { files.BorrarAgendaExecute(); });
    bind(c.Salir, [&files] { files.SalirExecute(); });
    BookList& list = *m_list;
    bind(c.SeleccionarTodo1, [&list] { list.SeleccionarTodo1Click(); });
    bind(c.OrdenarAgenda1, [&list] { list.OrdenarAgenda1Click(); });
    for (int f = 0; f < kFieldCount; ++f)
        bind(c.viewItem[f], [&list, f] { list.ViewItemClick(f); });
    bind(c.imprimir, [this] {
        PrintBook(this, m_platform, *m_printer, *m_printBuffer, m_model->records(),
                  DataFolder::File("imprimir.prn"));
    });
    bind(c.BrowseURL1,
         [this] { m_platform.openUrl(QUrl(QString::fromUtf8(VELDRANO_AUTHOR_WEB))); });
    bind(c.BrowseURL2,
         [this] { m_platform.openUrl(QUrl::fromLocalFile(DataFolder::HelpPagePath())); });
    FormCreate();

    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (QScreen* screen = this->screen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

TForm1::~TForm1() {
    // The list and the command groups go before the commands they switch, so nothing the
    // closing widgets report reaches them.
    delete m_search;
    delete m_records;
    delete m_mail;
    delete m_sync; // waits for a running sync, which writes the book
    delete m_files;
    delete m_list;
}

void TForm1::bind(QAction* action, const std::function<void()>& handler) {
    connect(action, &QAction::triggered, this,
            [this, handler] { GeneralError::Guard(this, m_platform, handler); });
}

void TForm1::attachDialogs(TForm2* add, Tform3* modify, TForm4* search, TForm6* mail,
                           QDialog* about) {
    m_about = about;
    m_records = new RecordCommands(this, m_platform, m_state, *m_model, *m_list, *m_commands, *add,
                                   *modify);
    m_search = new SearchCommands(this, m_state, *m_model, *m_list, *m_commands, *search);
    m_mail = new MailCommands(this, m_platform, m_state, *m_model, *mail);

    Commands& c = *m_commands;
    RecordCommands& records = *m_records;
    bind(c.AgregarReg, [&records] { records.AgregarRegExecute(); });
    bind(c.ModificarReg, [&records] { records.ModificarRegExecute(); });
    bind(c.EliminarReg, [&records] { records.EliminarRegExecute(); });
    bind(c.Cortar, [&records] { records.CortarExecute(); });
    bind(c.copiar, [&records] { records.copiarExecute(); });
    bind(c.Pegar, [&records] { records.PegarExecute(); });
    SearchCommands& searching = *m_search;
    bind(c.Buscar, [&searching] { searching.BuscarExecute(); });
    bind(c.BuscarSiguiente, [&searching] { searching.BuscarSiguienteExecute(); });
    MailCommands& mailing = *m_mail;
    bind(c.EnviarMail, [&mailing] { mailing.EnviarMailExecute(); });
    bind(c.Enviaremailautor1, [&mailing] { mailing.Enviaremailautor1Click(); });
    bind(c.Acercade1, [this] { m_about->exec(); });
}

void TForm1::OpenBook(const QString& path) {
    GeneralError::Guard(this, m_platform, [&] { m_files->CargarAgenda(path); });
}

namespace {

// The one local file a drop carries when it is something the window opens.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QString path = data->urls().front().toLocalFile();
    if (path.endsWith(QStringLiteral(".kbx"), Qt::CaseInsensitive) ||
        FileCommands::IsContactsPath(path))
        return path;
    return {};
}

} // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    GeneralError::Guard(this, m_platform, [&] { m_files->OpenDropped(path); });
}

void TForm1::FormCreate() {
    m_state.ListaCopia.clear();
    for (QAction* item : m_commands->imenu)
        item->setVisible(false);
    m_state.BorradoUltimo = false;
    m_state.ColumnasVisibles = kFieldCount;
    m_files->setUpRecentItems();
    m_state.ArchivoNuevo = true;
    m_state.SinAgenda = true;
    m_state.Modificado = false;
    m_state.IndiceElegido = 0;
    m_state.PosBusqueda = 0;
    m_state.RegistroElegido = false;
    m_state.SeguirBuscando = true;
    Commands& c = *m_commands;
    c.Mantenimiento1->menuAction()->setEnabled(false);
    Commands::SetEnabled({c.ModificarReg, c.EnviarMail, c.Guardar, c.GuardarComo, c.Cortar,
                          c.copiar, c.Pegar, c.SeleccionarTodo1, c.Buscar, c.BuscarSiguiente,
                          c.imprimir, c.BorrarAgenda, c.EliminarReg, c.AgregarReg},
                         false);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (m_files->CloseRequested())
        event->accept();
    else
        event->ignore();
}
