#include "app/WindowSync.h"

#include "app/Commands.h"
#include "app/FileCommands.h"
#include "book/BookFile.h"
#include "book/ContactFields.h"
#include "book/WindowState.h"
#include "keyring/Keyring.h"
#include "model/BookModel.h"
#include "model/TextCodec.h"
#include "qtsupport/GeneralError.h"
#include "qtsupport/PlatformServices.h"
#include "sync/BookSync.h"
#include "sync/SyncError.h"
#include "sync/SyncState.h"
#include "text/Charset.h"
#include "text/CodePage.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>

using namespace veldrano;

namespace {

constexpr std::chrono::minutes kEvery{15};
constexpr std::chrono::seconds kSummaryShown{10};

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString PathText(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString Count(size_t n, const char* one, const char* many) {
    return QString::number(n) + QLatin1Char(' ') + U(n == 1 ? one : many);
}

// "Sincronizado: 2 añadidos aquí, 1 en el servidor, 0 conflictos", with the changes and
// deletions named only when there are some.
QString Summary(const SyncReport& r) {
    const SyncCounts& c = r.counts;
    QString line = U("Sincronizado: %1 aquí, %2 en el servidor")
                       .arg(Count(c.addedHere, "añadido", "añadidos"))
                       .arg(c.addedThere);
    if (c.changedHere + c.changedThere > 0)
        line += U(", %1 aquí, %2 en el servidor")
                    .arg(Count(c.changedHere, "cambiado", "cambiados"))
                    .arg(c.changedThere);
    if (c.deletedHere + c.deletedThere > 0)
        line += U(", %1 aquí, %2 en el servidor")
                    .arg(Count(c.deletedHere, "borrado", "borrados"))
                    .arg(c.deletedThere);
    line += U(", %1").arg(Count(r.conflicts.size(), "conflicto", "conflictos"));
    if (!r.unreadable.empty())
        line += U(", %1").arg(Count(r.unreadable.size(), "tarjeta omitida", "tarjetas omitidas"));
    return line;
}

QString ConflictText(const SyncReport& r, const std::string& book) {
    QString text = U(r.conflicts.size() == 1
                         ? "Un contacto ha cambiado a la vez aquí y en el servidor. Se queda el "
                           "valor de la agenda; el del servidor era:\n"
                         : "%1 contactos han cambiado a la vez aquí y en el servidor. Se queda "
                           "el valor de la agenda; el del servidor era:\n")
                       .arg(r.conflicts.size());
    for (const Conflict& c : r.conflicts)
        text += U("\n«%1», %2: «%3»")
                    .arg(TextCodec::ToQString(c.name), U(FieldOf(c.field).columnCaption),
                         TextCodec::ToQString(c.there));
    if (r.logError.empty())
        text += U("\n\nAnotado en %1").arg(PathText(ConflictLogPath(book)));
    return text;
}

} // namespace

const char* const WindowSync::kSyncing = "Sincronizando…";

struct WindowSync::Outcome {
    std::string book;
    std::optional<SyncReport> report;
    std::string error; // UTF-8, when the sync failed
};

WindowSync::WindowSync(QMainWindow& window, PlatformServices& platform, WindowState& state,
                       BookModel& model, Commands& commands, QLabel& status, FileCommands& files)
    : QObject(&window), m_window(window), m_platform(platform), m_state(state), m_model(model),
      m_commands(commands), m_status(status), m_files(files),
      m_now(new QAction(U("Sincronizar ahora"), this)) {
    m_now->setObjectName(QStringLiteral("SincronizarAhora"));
    m_now->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(m_now, &QAction::triggered, this, [this] {
        GeneralError::Guard(&m_window, m_platform, [this] { SincronizarAhoraExecute(); });
    });
    m_every.setInterval(kEvery);
    connect(&m_every, &QTimer::timeout, this, [this] {
        if (!m_files.unsavedEdits())
            start(false);
    });
    m_summary.setSingleShot(true);
    m_summary.setInterval(kSummaryShown);
    connect(&m_summary, &QTimer::timeout, this, &WindowSync::restoreStatus);
}

WindowSync::~WindowSync() {
    if (m_worker.joinable())
        m_worker.join();
}

void WindowSync::setInterval(std::chrono::milliseconds interval) {
    m_every.setInterval(interval);
}

bool WindowSync::lookForState() {
    m_book.clear();
    std::optional<SyncAccount> account;
    if (!m_state.ArchivoNuevo && !m_state.SinAgenda) {
        try {
            account = ReadSyncAccount(SyncStatePath(m_state.ArchivoActual));
        } catch (const std::exception& e) {
            // A damaged state is said once; the book itself opens as any other.
            const QString text = GeneralError::DecodeMessage(e.what());
            if (text != m_lastError)
                GeneralError::Show(&m_window, m_platform, text);
            m_lastError = text;
        }
    }
    QMenu* archivo = m_commands.Archivo1;
    if (account) {
        m_book = m_state.ArchivoActual;
        m_url = account->url;
        m_user = account->user;
        // At the end of the menu, before Salir; a book that never synced has no such item.
        if (!archivo->actions().contains(m_now)) {
            archivo->insertAction(m_commands.Salir, m_now);
            m_window.addAction(m_now);
        }
        if (!m_every.isActive())
            m_every.start();
    } else {
        archivo->removeAction(m_now);
        m_window.removeAction(m_now);
        m_every.stop();
    }
    return account.has_value();
}

void WindowSync::bookOnDisk() {
    if (lookForState())
        start(false);
}

void WindowSync::bookClosed() {
    lookForState();
}

void WindowSync::SincronizarAhoraExecute() {
    if (m_files.unsavedEdits()) {
        m_files.GuardarExecute(); // syncs once it has saved
        return;
    }
    start(true);
}

void WindowSync::start(bool asked) {
    if (m_book.empty() || m_files.unsavedEdits())
        return;
    if (running()) {
        m_again = true;
        m_asked = m_asked || asked;
        return;
    }
    m_asked = asked;
    m_base = m_model.store(); // the file's rows: the window has no unsaved edits
    m_before = StampOf(m_book);
    m_summary.stop();
    m_status.setText(U(kSyncing));
    SyncOptions options;
    options.book = m_book;
    options.url = m_url;
    options.codePage = CurrentLocale().codePage;
    m_worker = std::thread([this, options = std::move(options), user = m_user]() mutable {
        auto outcome = std::make_unique<Outcome>();
        outcome->book = options.book;
        try {
            if (!user.empty()) {
                // The password the terminal's first sync kept in the keyring.
                const Keyring::Lookup kept =
                    Keyring::Read(Keyring::CardDavKey(user, options.url), Keyring::kShortWait);
                if (kept.answer != Keyring::Answer::Found || kept.secret.empty())
                    throw SyncError("no hay contraseña de " + user + " para «" + options.url +
                                    "» en el llavero: sincronice una vez desde el terminal con "
                                    "torvikalen --sync y guárdela en el llavero");
                options.credentials = {user, kept.secret};
            }
            outcome->report = SyncBook(options);
        } catch (const BookFormatError&) {
            outcome->error =
                SystemTextToUtf8(options.book, options.codePage) + ": Formato de archivo no válido";
        } catch (const std::exception& e) { // the server, the state, the keyring, a file
            outcome->error = e.what();
        }
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_done = std::move(outcome);
        }
        QMetaObject::invokeMethod(this, &WindowSync::collect, Qt::QueuedConnection);
    });
}

void WindowSync::waitIdle() {
    if (m_worker.joinable())
        m_worker.join();
    collect();
}

void WindowSync::collect() {
    std::unique_ptr<Outcome> done;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        done = std::move(m_done);
    }
    if (!done)
        return; // taken up already
    if (m_worker.joinable())
        m_worker.join();
    std::optional<BookStore> base = std::move(m_base);
    m_base.reset();
    // The window may hold another book by now: then the outcome is that book's no more.
    const bool current = done->book == m_book && m_state.ArchivoActual == m_book &&
                         !m_state.ArchivoNuevo && !m_state.SinAgenda;
    if (current) {
        if (done->report && base && StampOf(m_book) != m_before)
            m_files.syncChangedBook(std::move(*base));
        showOutcome(*done);
    } else if (m_status.text() == U(kSyncing)) {
        restoreStatus();
    }
    if (m_again) {
        m_again = false;
        start(m_asked);
    }
}

void WindowSync::showOutcome(const Outcome& outcome) {
    if (!outcome.report) {
        restoreStatus();
        // A failure is shown once: a sync every 15 minutes does not repeat it.
        const QString text = GeneralError::DecodeMessage(outcome.error.c_str());
        if (m_asked || text != m_lastError)
            GeneralError::Show(&m_window, m_platform, text);
        m_lastError = text;
        return;
    }
    const SyncReport& report = *outcome.report;
    m_lastError.clear();
    m_shownSummary = Summary(report);
    m_status.setText(m_shownSummary);
    m_summary.start();
    if (!report.conflicts.empty())
        m_platform.showMessage(&m_window, U("Sincronización"), ConflictText(report, m_book),
                               PlatformServices::Icon::Warning);
    if (!report.logError.empty())
        GeneralError::Show(&m_window, m_platform,
                           GeneralError::DecodeMessage(report.logError.c_str()));
}

void WindowSync::restoreStatus() {
    const QString shown = m_status.text();
    if (shown != U(kSyncing) && shown != m_shownSummary)
        return; // the window has said something since
    m_status.setText(m_state.ArchivoNuevo ? U("Archivo Nuevo.") : PathText(m_state.ArchivoActual));
}
