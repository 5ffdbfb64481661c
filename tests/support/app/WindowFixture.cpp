#include "tests/support/app/WindowFixture.h"

#include "app/Application.h"
#include "book/BookFile.h"
#include "tests/support/app/QtApp.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <unistd.h>

namespace veldrano::test {

void WindowTest::SetUp() {
    EnsureQApplication();
    ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    std::filesystem::create_directories(dir.file("veldrano"));
    WriteFileBytes(dir.file("veldrano/menu.dat"), "\r\n\r\n\r\n\r\n\r\n");
    WriteFileBytes(dir.file("veldrano/correo.cfg"), "\r\n\r\n\r\n");
    char cwd[4096];
    m_oldCwd = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
    std::filesystem::create_directories(dir.file("cwd"));
    ASSERT_EQ(::chdir(dir.file("cwd").c_str()), 0);
    IndiceElegido = 0;
    NumCopiados = 0;
}

void WindowTest::start() {
    form = CreateApplicationWindows(platform);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
}

void WindowTest::TearDown() {
    if (form) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != form.get() && w->isVisible() && w->window() != form.get())
                ADD_FAILURE() << "window left open: " << w->objectName().toStdString();
        form.reset();
    }
    ::chdir(m_oldCwd.c_str());
}

std::string WindowTest::dataFile(const std::string& name) const {
    return dir.file("veldrano/" + name).string();
}

std::string WindowTest::writeBook(const std::string& name,
                                  const std::vector<ContactRecord>& records,
                                  std::vector<int> hidden) {
    std::array<int, kFieldCount> columns{};
    for (int k : hidden)
        columns[k] = -1;
    const std::string p = path(name);
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    WriteFileBytes(p, JoinLines(BookToLines(columns, records)));
    return p;
}

std::vector<std::string> WindowTest::names() const {
    std::vector<std::string> out;
    for (const auto& r : form->model->records())
        out.push_back(r[0]);
    return out;
}

std::vector<ContactRecord> WindowTest::rows() const {
    return form->model->records();
}

void WindowTest::press(int key, Qt::KeyboardModifiers modifiers) {
    // Shortcuts reach the active window only; a dialog that just closed may have left
    // no window active.
    for (int i = 0; i < 400 && QApplication::activeWindow() != form.get(); ++i) {
        form->activateWindow();
        QTest::qWait(5);
    }
    EXPECT_EQ(QApplication::activeWindow(), form.get());
    form->ListView1->setFocus();
    QTest::keyClick(form->ListView1, static_cast<Qt::Key>(key), modifiers);
}

namespace {

// Watches for a modal window while `act` runs (a modal window runs its own event loop, so
// the watch keeps ticking inside it) and hands it to `onModal` once.
bool WatchForModal(const std::function<void()>& act, const std::function<void(QWidget*)>& onModal) {
    bool opened = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll.stop();
        opened = true;
        onModal(modal);
        if (modal->isVisible()) // the test did not close it: do not hang
            QTimer::singleShot(0, modal, [modal] { modal->close(); });
    });
    poll.start(5);
    act();
    poll.stop();
    return opened;
}

} // namespace

void WindowTest::withModal(const std::function<void()>& act,
                           const std::function<void(QWidget*)>& inDialog) {
    EXPECT_TRUE(WatchForModal(act, inDialog)) << "no dialog opened";
}

void WindowTest::expectNoModal(const std::function<void()>& act) {
    EXPECT_FALSE(WatchForModal(act, [](QWidget*) {})) << "a dialog opened";
}

void WindowTest::clickRow(int row, Qt::KeyboardModifiers modifiers) {
    QRect rect = form->ListView1->visualRect(form->model->index(row, 0));
    QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton, modifiers, rect.center());
}

ContactRecord WindowTest::Record(const std::string& name, const std::string& phone,
                                 const std::string& email) {
    ContactRecord r{};
    r[FieldIndex(Field::nombre)] = name;
    r[FieldIndex(Field::telefono)] = phone;
    r[FieldIndex(Field::e_mail)] = email;
    return r;
}

} // namespace veldrano::test
