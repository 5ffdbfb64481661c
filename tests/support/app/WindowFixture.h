#pragma once
#include "app/agenda.h"
#include "book/ContactRecord.h"
#include "tests/support/TempDir.h"
#include "tests/support/app/ScriptedPlatform.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace veldrano::test {

// A running program for one test: its own data folder (XDG_DATA_HOME) and working folder,
// a default menu.dat and correo.cfg, the windows created as at start-up with scripted
// platform services, and a check at the end that no window was left open.
class WindowTest : public ::testing::Test {
  protected:
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

    // Row captions in list order.
    std::vector<std::string> names() const;
    std::vector<ContactRecord> rows() const;

    // A key press on the list, as the user makes it.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Runs `act` (which opens a modal dialog) and `inDialog` once the dialog is up;
    // fails if no dialog opens.
    void withModal(const std::function<void()>& act, const std::function<void(QWidget*)>& inDialog);
    // Runs `act` and fails if a modal dialog opens (closing it again).
    void expectNoModal(const std::function<void()>& act);

    // Clicks a row as the user does (selecting it alone), or with Ctrl to add it.
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    static ContactRecord Record(const std::string& name, const std::string& phone = {},
                                const std::string& email = {});

    TempDir dir;
    ScriptedPlatform platform;
    std::unique_ptr<TForm1> form;

  private:
    std::string m_oldCwd;
};

} // namespace veldrano::test
