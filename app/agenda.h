#pragma once
#include "book/WindowState.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class BookList;
class BookModel;
class FileCommands;
class MailCommands;
class PlatformServices;
class QAction;
class QDialog;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QPrinter;
class RecordCommands;
class SearchCommands;
class TForm2;
class TForm4;
class TForm6;
class TPrintBuffer;
class WindowSync;
class Tform3;
struct Commands;

// The main window "VELDRANO": the book as a report list, the menus, tool bar and status
// panel, and the wiring of every command to the group that handles it. It alone changes
// the book and the window state; the dialogs hand back values.
class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    explicit TForm1(PlatformServices& platform, QWidget* parent = nullptr);
    ~TForm1() override;

    // The dialogs are created after the main window, as at start-up.
    void attachDialogs(TForm2* add, Tform3* modify, TForm4* search, TForm6* mail, QDialog* about);

    // Opens a book named on the command line, as the recent-file items do.
    void OpenBook(const QString& path);

  protected:
    void closeEvent(QCloseEvent* event) override;
    // No pop-up of tool bars: the list's is the window's only pop-up menu.
    QMenu* createPopupMenu() override { return nullptr; }
    // A book or another program's contacts dropped on the window opens as Open opens it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void FormCreate();
    void bind(QAction* action, const std::function<void()>& handler);

    PlatformServices& m_platform;
    veldrano::WindowState m_state;
    std::unique_ptr<Commands> m_commands;
    BookModel* m_model = nullptr;
    BookList* m_list = nullptr;
    QLabel* m_status = nullptr;
    FileCommands* m_files = nullptr;
    RecordCommands* m_records = nullptr;
    SearchCommands* m_search = nullptr;
    MailCommands* m_mail = nullptr;
    WindowSync* m_sync = nullptr;
    QDialog* m_about = nullptr;
    std::unique_ptr<TPrintBuffer> m_printBuffer; // memo1, the hidden print buffer
    std::unique_ptr<QPrinter> m_printer;         // keeps the printer chosen last
};
