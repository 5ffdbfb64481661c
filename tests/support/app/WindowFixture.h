#pragma once
#include "app/agenda.h"
#include "book/ContactRecord.h"
#include "tests/support/TempDir.h"
#include "tests/support/app/ScriptedPlatform.h"

#include <QString>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

class QAbstractItemView;
class QAction;
class QHeaderView;
class QLabel;
class QMenu;

namespace veldrano::test {

// A running program for one test: its own data folder (XDG_DATA_HOME) and working folder,
// a default menu.dat and correo.cfg, the windows created as at start-up with scripted
// platform services, and a check at the end that no window was left open. Tests reach the
// window as a user does: its commands, widgets found by object name, key presses, what the
// list and the status panel show, and the files on disk.
class WindowTest : public ::testing::Test {
  public:
    void SetUp() override;
    void TearDown() override;

    // Creates the windows; tests that need another menu.dat write it first.
    void start();

    // Paths in the temporary folder.
    std::string path(const std::string& name) const { return dir.file(name).string(); }

    std::string dataFile(const std::string& name) const;

    // A book file made of the given records and hidden columns, written as CR LF lines.
    std::string writeBook(const std::string& name, const std::vector<ContactRecord>& records,
                          std::vector<int> hidden = {});
    // Opens a book as one named on the command line does.
    void open(const std::string& path);

    // The window's parts, by object name.
    QAction* action(const char* name) const;
    QAction* viewItem(Field field) const;
    QMenu* menu(const char* name) const;
    QAbstractItemView* list() const;
    QHeaderView* header() const;
    QString status() const;
    // Runs a command as its menu item does.
    void trigger(const char* name) const;

    // What the list shows: row captions (as code-page bytes), whole records, selected rows.
    std::vector<std::string> names() const;
    std::vector<ContactRecord> rows() const;
    std::vector<int> selectedRows() const;

    // A key press on the list, as the user makes it.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Runs `act` (which opens a modal dialog) and `inDialog` once the dialog is up;
    // fails if no dialog opens.
    void withModal(const std::function<void()>& act, const std::function<void(QWidget*)>& inDialog);
    // Runs `act` and fails if a modal dialog opens (closing it again).
    void expectNoModal(const std::function<void()>& act);

    // Clicks a row as the user does (selecting it alone), or with Ctrl to add it.
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Types into the edit `name` of a dialog as a user does, and presses one of its buttons.
    static void type(QWidget* dialog, const char* edit, const QString& text);
    static void click(QWidget* dialog, const char* button);

    // The Ctrl+F3 dialog's edits for the chosen row, read and cancelled: which record
    // Modify would change.
    ContactRecord recordModifyShows();
    // Whether Open asks "Desea guardar los cambios realizados?" (answered No, dialog
    // cancelled): the book has unsaved changes.
    bool asksToSaveChanges();

    static ContactRecord Record(const std::string& name, const std::string& phone = {},
                                const std::string& email = {});

    TempDir dir;
    ScriptedPlatform platform;
    std::unique_ptr<TForm1> form;

  private:
    std::string m_oldCwd;
};

} // namespace veldrano::test
