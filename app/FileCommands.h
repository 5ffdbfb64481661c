#pragma once
#include "files/TextFile.h"
#include "book/BookFile.h"
#include "book/WindowState.h"
#include "interchange/Conversion.h"

#include <QObject>
#include <QString>
#include <optional>
#include <string_view>

class BookList;
class BookWatcher;
class WindowSync;
class BookModel;
class PlatformServices;
class QLabel;
class QMainWindow;
struct Commands;
namespace veldrano {
class InterchangeError;
struct ImportResult;
} // namespace veldrano

// The "&Archivo" menu and the book file: New, Open, the recent books, Save, Save As,
// Clear book and Exit with their questions, the loader and the writer, and menu.dat. A
// vCard, CSV or LDIF file opens as a new book holding its contacts; Save As also exports.
class FileCommands : public QObject {
    Q_OBJECT
  public:
    FileCommands(QMainWindow& window, PlatformServices& platform, veldrano::WindowState& state,
                 BookModel& model, BookList& list, Commands& commands, QLabel& status);

    // Reads menu.dat and sets up the recent items (a step of the window's creation).
    void setUpRecentItems();

    void NuevaExecute();
    void AbrirExecute();
    void imenuClick(int item);
    void GuardarExecute();
    void GuardarComoClick();
    void BorrarAgendaExecute();
    void SalirExecute();
    // The window's close box: runs the Exit steps; false keeps the window open.
    bool CloseRequested();

    void CargarAgenda(const QString& path);
    // A file dropped on the window: opened as Open opens it, after the same question.
    void OpenDropped(const QString& path);

    // Rows added, changed or removed since the window last read or wrote its file (unlike
    // Modificado, which a save keeps and a copy sets).
    bool unsavedEdits() const { return m_edited; }

    // The book's sync, told when a book comes in, is saved or goes.
    void setSync(WindowSync* sync) { m_sync = sync; }
    // A sync rewrote the book's file with what it fetched, starting from `base`: shown at
    // once without unsaved edits, merged into them at the next Save otherwise.
    void syncChangedBook(veldrano::BookStore base);

    // The open dialog's file types: the book's first, then the contacts of other programs.
    static const char* const kOpenFilter;
    // A vCard, CSV or LDIF file by its name; any other opens as a book, as it always has.
    static bool IsContactsPath(const QString& path);

  private:
    void AbrirAgenda();
    void GuardarAgenda();
    // With `exports`, the dialog also offers vCard and CSV.
    enum class SaveAsResult { Cancelled, Saved, Exported };
    SaveAsResult GuardarAgendaComo(bool exports = false);
    void NuevaAgenda();
    void GuardarRecientes();
    void saveQuestion();
    void exitSteps();
    bool leave();
    // Writes the book to `target`; false when the user chose not to overwrite a file that
    // changed on disk since this window read or wrote it.
    bool writeBook(const std::string& target);
    void bookCameIn(const std::string& path);
    // Shows a book that has been read, as the loader does once the file is checked.
    void showBook(const QString& path, veldrano::LoadedBook book);
    // Another program changed the book's file: reload it, or ask when there are unsaved
    // edits; the chosen contact stays chosen and the list where it was.
    void fileChangedOnDisk();
    void reloadKeepingPlace(veldrano::LoadedBook book);
    // The window's unsaved edits put into the file a sync rewrote meanwhile, and shown.
    void mergeSyncedBook(const std::string& path);
    void showMenuDatError();

    // Other programs' files (FileImport.cpp).
    void importContacts(const QString& path);
    std::optional<veldrano::ImportResult> readContacts(const QString& path, std::string_view bytes);
    void showImportError(const QString& path, const veldrano::InterchangeError& e);
    bool exportContacts(QString name, veldrano::ContactFormat format);

    QMainWindow& m_window;
    PlatformServices& m_platform;
    veldrano::WindowState& m_state;
    BookModel& m_model;
    BookList& m_list;
    Commands& m_commands;
    QLabel& m_status;
    veldrano::FileStamp m_onDisk;   // ArchivoActual as this window last read or wrote it
    veldrano::FileStamp m_declined; // a change on disk the user chose not to load
    BookWatcher* m_watcher = nullptr;
    WindowSync* m_sync = nullptr;
    bool m_edited = false;
    std::optional<veldrano::BookStore> m_syncBase; // the rows the window's edits started from
    veldrano::FileStamp m_syncWrote;               // the file as that sync left it
    bool m_exitDone = false;
};
