#include "app/FileCommands.h"

#include "app/BookList.h"
#include "app/BookWatcher.h"
#include "app/WindowSync.h"
#include "model/BookModel.h"
#include "app/Commands.h"
#include "book/BookFile.h"
#include "book/RecentFiles.h"
#include "qtsupport/DataFolder.h"
#include "qtsupport/GeneralError.h"
#include "qtsupport/PlatformServices.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>

using namespace veldrano;

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

std::string PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString PathText(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

using Icon = PlatformServices::Icon;

} // namespace

FileCommands::FileCommands(QMainWindow& window, PlatformServices& platform, WindowState& state,
                           BookModel& model, BookList& list, Commands& commands, QLabel& status)
    : QObject(&window), m_window(window), m_platform(platform), m_state(state), m_model(model),
      m_list(list), m_commands(commands), m_status(status),
      m_watcher(new BookWatcher(this, [this] { fileChangedOnDisk(); })) {
    const auto edited = [this] { m_edited = true; };
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, edited);
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, edited);
    connect(&m_model, &QAbstractItemModel::dataChanged, this, edited);
}

// ---- recent files

void FileCommands::showMenuDatError() {
    m_platform.showMessage(&m_window, U("Error"),
                           U("No se encuentra %1 o formato de archivo no válido")
                               .arg(DataFolder::Path() + QStringLiteral("/menu.dat")),
                           Icon::Error);
}

void FileCommands::setUpRecentItems() {
    // A missing or malformed list reads as empty slots, so the window always finishes
    // starting.
    try {
        m_state.ListaRecientes = ReadRecentFiles(DataFolder::File("menu.dat"));
    } catch (const RecentFilesError&) {
        m_state.ListaRecientes.clear();
        showMenuDatError();
    } catch (const FileError& e) {
        m_state.ListaRecientes.clear();
        GeneralError::Show(&m_window, m_platform, GeneralError::DecodeMessage(e.what()));
    }
    if (m_state.ListaRecientes.size() < kRecentCount)
        m_state.ListaRecientes.resize(kRecentCount);
    for (int i = 0; i < kRecentCount; ++i) {
        QAction* item = m_commands.imenu[i];
        const std::string& line = m_state.ListaRecientes[i];
        if (i == 0 && line.empty()) {
            item->setText(U("Vacío"));
            item->setEnabled(false);
            item->setVisible(true);
        } else if (!line.empty()) {
            // A path may hold "&"; it is a file name, not a mnemonic.
            item->setText(PathText(line).replace(QLatin1Char('&'), QStringLiteral("&&")));
            item->setVisible(true);
        }
    }
    try {
        WriteTextLines("menu.dat", m_state.ListaRecientes);
    } catch (const FileError& e) {
        GeneralError::Show(&m_window, m_platform, GeneralError::DecodeMessage(e.what()));
    }
}

void FileCommands::GuardarRecientes() {
    try {
        Lines old = ReadRecentFiles(DataFolder::File("menu.dat"));
        if (old.size() < static_cast<size_t>(kRecentCount))
            throw RecentFilesError("short");
        WriteTextLines(DataFolder::File("menu.dat"),
                       RotateRecent(old, m_state.ArchivoActual, m_state.ArchivoNuevo));
    } catch (const std::runtime_error&) {
        showMenuDatError();
    }
}

// ---- the book file

void FileCommands::bookCameIn(const std::string& path) {
    m_state.ArchivoActual = path;
    m_onDisk = StampOf(path);
    m_watcher->watch(path);
    // Find-next belongs to the book it searched.
    m_state.PosBusqueda = 0;
    m_state.SeguirBuscando = true;
    m_commands.BuscarSiguiente->setEnabled(false);
}

void FileCommands::CargarAgenda(const QString& path) {
    if (IsContactsPath(path)) {
        importContacts(path);
        return;
    }
    // Everything is read and checked before the window changes, so a bad file leaves the
    // window, its file name and the next save exactly as they were.
    LoadedBook book;
    try {
        book = ReadBookFile(PathBytes(path));
    } catch (const std::exception&) {
        m_platform.showMessage(&m_window, U("Error"), U("Formato de archivo no válido"),
                               Icon::Error);
        return;
    }
    showBook(path, std::move(book));
    if (m_sync)
        m_sync->bookOnDisk();
}

void FileCommands::showBook(const QString& path, LoadedBook book) {
    m_state.BorradoUltimo = false;
    m_syncBase.reset();
    bookCameIn(PathBytes(path));
    m_status.setText(path);
    m_list.Quietly([&] { m_model.clear(); });
    m_list.ResetColumns(book.hidden);
    const bool any = !book.records.empty();
    m_list.Quietly([&] { m_model.load(std::move(book.records)); });
    if (any)
        m_list.listview1onchange(); // as the rows arriving one by one would have
    m_state.ArchivoNuevo = false;
    m_state.SinAgenda = false;
    m_commands.Mantenimiento1->menuAction()->setEnabled(true);
    Commands::SetEnabled({m_commands.Guardar, m_commands.imprimir, m_commands.Buscar,
                          m_commands.BorrarAgenda, m_commands.AgregarReg, m_commands.GuardarComo,
                          m_commands.SeleccionarTodo1},
                         true);
    m_state.Modificado = false;
    m_edited = false;
}

void FileCommands::AbrirAgenda() {
    auto name = m_platform.getOpenFileName(&m_window, U("Abrir Agenda"), U(kOpenFilter));
    if (name)
        CargarAgenda(*name);
}

bool FileCommands::writeBook(const std::string& target) {
    if (m_sync)
        m_sync->waitIdle(); // the sync writes the file too: one writer at a time
    // Another program (a sync, an editor) may have changed the file since; its change is not
    // thrown away without asking.
    if (target == m_state.ArchivoActual && m_onDisk.exists) {
        const FileStamp now = StampOf(target);
        if (m_syncBase && now == m_syncWrote)
            mergeSyncedBook(target); // our own sync's change: nothing to ask
        else if (now.exists && now != m_onDisk &&
                 !m_platform.askYesNo(
                     &m_window, U("Aviso!"),
                     U("El archivo %1 ha cambiado en el disco desde que se abrió. ¿Desea "
                       "sobrescribirlo?")
                         .arg(PathText(target)),
                     Icon::Question))
            return false;
    }
    WriteBookFile(target, m_state.ColumnaOculta, m_model.store());
    m_onDisk = StampOf(target);
    m_syncBase.reset();
    m_edited = false;
    return true;
}

void FileCommands::GuardarAgenda() {
    if (!writeBook(m_state.ArchivoActual))
        return;
    m_state.ArchivoNuevo = false;
    m_state.SinAgenda = false;
}

FileCommands::SaveAsResult FileCommands::GuardarAgendaComo(bool exports) {
    static const char* const kVCard = "Contactos vCard (*.vcf)";
    static const char* const kCsv = "Contactos CSV (*.csv)";
    QString filter = U("Agendas (*.kbx)"), chosen;
    if (exports)
        filter += U(";;%1;;%2").arg(U(kVCard), U(kCsv));
    auto name = m_platform.getSaveFileName(&m_window, U("Guardar Agenda"), filter, &chosen);
    if (!name)
        return SaveAsResult::Cancelled;
    if (exports && (chosen == U(kVCard) || chosen == U(kCsv))) {
        return exportContacts(*name,
                              chosen == U(kVCard) ? ContactFormat::VCard : ContactFormat::Csv)
                   ? SaveAsResult::Exported
                   : SaveAsResult::Cancelled;
    }
    const std::string target = PathBytes(*name + QStringLiteral(".kbx"));
    if (!writeBook(target))
        return SaveAsResult::Cancelled;
    m_state.ArchivoActual = target;
    m_watcher->watch(target);
    m_state.ArchivoNuevo = false;
    m_state.SinAgenda = false;
    return SaveAsResult::Saved;
}

// ---- commands

void FileCommands::saveQuestion() {
    if (m_state.ArchivoNuevo) {
        if (m_model.rowCount() > 0 &&
            m_platform.askYesNo(&m_window, U("Aviso!"),
                                U("Desea guardar el archivo nuevo que ha usado?"), Icon::Question))
            GuardarAgendaComo();
    } else if (m_state.Modificado) {
        if (m_platform.askYesNo(&m_window, U("Aviso!"), U("Desea guardar los cambios realizados?"),
                                Icon::Question))
            GuardarAgenda();
    }
}

void FileCommands::NuevaAgenda() {
    m_commands.Mantenimiento1->menuAction()->setEnabled(true);
    m_status.setText(U("Archivo Nuevo."));
    Commands::SetEnabled(
        {m_commands.EliminarReg, m_commands.Guardar, m_commands.GuardarComo, m_commands.imprimir},
        false);
    m_commands.AgregarReg->setEnabled(true);
    Commands::SetEnabled({m_commands.Buscar, m_commands.SeleccionarTodo1, m_commands.BorrarAgenda},
                         false);
    m_list.Quietly([&] { m_model.clear(); });
    m_state.PosBusqueda = 0;
    m_state.SeguirBuscando = true;
    m_commands.BuscarSiguiente->setEnabled(false);
    m_state.ArchivoNuevo = true;
    m_state.SinAgenda = false;
    m_state.Modificado = false;
    m_syncBase.reset();
    m_edited = false;
    if (m_sync)
        m_sync->bookClosed();
}

void FileCommands::NuevaExecute() {
    m_state.BorradoUltimo = false;
    saveQuestion();
    NuevaAgenda();
}

void FileCommands::AbrirExecute() {
    saveQuestion();
    AbrirAgenda();
}

void FileCommands::OpenDropped(const QString& path) {
    saveQuestion();
    CargarAgenda(path);
}

void FileCommands::imenuClick(int item) {
    // Unlike a plain load, a recent item asks first: loading over unsaved changes loses them.
    saveQuestion();
    CargarAgenda(PathText(m_state.ListaRecientes.at(static_cast<size_t>(item))));
}

void FileCommands::GuardarExecute() {
    if (m_state.ArchivoNuevo)
        GuardarAgendaComo();
    else
        GuardarAgenda();
    m_status.setText(PathText(m_state.ArchivoActual));
    if (m_sync && !m_edited)
        m_sync->bookOnDisk();
}

void FileCommands::GuardarComoClick() {
    // An export says so in the status panel; otherwise it shows the book's file name.
    const SaveAsResult result = GuardarAgendaComo(true);
    if (result != SaveAsResult::Exported)
        m_status.setText(PathText(m_state.ArchivoActual));
    if (m_sync && result == SaveAsResult::Saved)
        m_sync->bookOnDisk();
}

void FileCommands::BorrarAgendaExecute() {
    if (!m_platform.askYesNo(
            &m_window, U("Aviso"),
            U("Esta seguro que desea borrar todos los datos de la agenda y comenzar una nueva?"),
            Icon::None))
        return;
    // The file goes first: when it cannot be deleted the book stays in the window.
    if (!m_state.ArchivoNuevo) {
        if (m_sync)
            m_sync->waitIdle(); // a sync would write it back
        RemoveFile(m_state.ArchivoActual);
    }
    NuevaAgenda();
}

void FileCommands::exitSteps() {
    if (m_state.SinAgenda)
        return;
    if (m_state.ArchivoNuevo) {
        if (m_model.rowCount() == 0)
            return;
        if (m_platform.askYesNo(&m_window, U("Aviso!"),
                                U("Desea guardar el archivo nuevo que estaba usando?"),
                                Icon::Question))
            GuardarAgendaComo();
        GuardarRecientes();
        return;
    }
    if (m_state.Modificado) {
        if (m_platform.askYesNo(&m_window, U("Aviso!"), U("Desea guardar los cambios realizados?"),
                                Icon::Question))
            GuardarAgenda();
    } else {
        GuardarAgenda(); // stores the column choices of this session
    }
    GuardarRecientes();
}

bool FileCommands::leave() {
    try {
        exitSteps();
    } catch (const std::exception& e) {
        // The save failed (a read-only folder, a full disk): say why, then let the user
        // choose between staying to save elsewhere and leaving without saving.
        GeneralError::Show(&m_window, m_platform, GeneralError::DecodeMessage(e.what()));
        if (!m_platform.askYesNo(&m_window, U("Aviso!"),
                                 U("No se ha podido guardar la agenda. ¿Desea salir sin guardar?"),
                                 Icon::Question))
            return false;
    }
    m_state.ListaCopia.clear();
    m_state.ListaRecientes.clear();
    m_exitDone = true;
    return true;
}

void FileCommands::SalirExecute() {
    if (leave())
        m_window.close();
}

bool FileCommands::CloseRequested() {
    // The close box and Alt+F4 leave the way the Exit command does, so no change is lost.
    if (m_exitDone)
        return true;
    bool done = false;
    GeneralError::Guard(&m_window, m_platform, [&] { done = leave(); });
    return done;
}
