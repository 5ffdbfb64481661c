#pragma once
#include "book/BookStore.h"
#include "files/TextFile.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class BookModel;
class FileCommands;
class PlatformServices;
class QAction;
class QLabel;
class QMainWindow;
struct Commands;
namespace veldrano {
struct WindowState;
struct SyncReport;
} // namespace veldrano

// The sync of a book that has a sync state beside it (made once with torvikalen --sync):
// after Open, after each Save, every 15 minutes while the book has no unsaved edits, and
// on "Sincronizar ahora". The sync runs on a thread of its own; the window stays usable and
// its rows are never changed under the user's hands: what the sync brings is shown when the
// window has no unsaved edits, and merged into them at the next Save otherwise. A book
// without a state changes nothing: no menu item, no timer, no sync.
class WindowSync : public QObject {
    Q_OBJECT
  public:
    WindowSync(QMainWindow& window, PlatformServices& platform, veldrano::WindowState& state,
               BookModel& model, Commands& commands, QLabel& status, FileCommands& files);
    ~WindowSync() override;

    // A book came into the window by Open, or was saved (under a name a state may sit
    // beside): the menu item follows, and the book is synced.
    void bookOnDisk();
    // The window holds no book of a file (New, Clear book).
    void bookClosed();

    void SincronizarAhoraExecute();

    // A running sync ends first: the window is about to write or remove the book's file.
    void waitIdle();
    bool running() const { return m_worker.joinable(); }

    // The time between syncs of an open book (15 minutes).
    void setInterval(std::chrono::milliseconds interval);

    static const char* const kSyncing;

  private:
    struct Outcome;
    // Finds the book's sync state: whether it syncs, and with whom.
    bool lookForState();
    void start(bool asked);
    // Takes up what the worker finished, once, from the queued call or waitIdle.
    void collect();
    void showOutcome(const Outcome& outcome);
    void restoreStatus();

    QMainWindow& m_window;
    PlatformServices& m_platform;
    veldrano::WindowState& m_state;
    BookModel& m_model;
    Commands& m_commands;
    QLabel& m_status;
    FileCommands& m_files;
    QAction* m_now;
    QTimer m_every;
    QTimer m_summary; // the summary stays 10 seconds, then the file name is shown again

    std::string m_book; // the file that syncs; empty when the book has no state
    std::string m_url, m_user;
    std::thread m_worker;
    std::mutex m_lock;
    std::unique_ptr<Outcome> m_done;           // the worker's outcome, until collected
    std::optional<veldrano::BookStore> m_base; // the rows as the running sync read them
    veldrano::FileStamp m_before;              // the book's file as the running sync read it
    bool m_asked = false;                      // the running sync was asked for
    bool m_again = false;                      // asked for while one was running
    QString m_lastError;                       // a failure is shown once, not every time
    QString m_shownSummary;
};
