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

std::string WindowTest::writeBook(const std::string& name, const std::vector<ContactRecord>& records,
                                  std::vector<int> hidden) {
    std::array<int, kFieldCount> columns{};
    for (int k : hidden)
        columns[k] = -1;
    const std::string p = path(name);
    WriteFileBytes(p, JoinLines(BookToLines(columns, records)));
    return p;
}

std::vector<std::string> WindowTest::names() const {
    std::vector<std::string> out;
    for (const auto& r : form->model->records())
        out.push_back(r[0]);
    return out;
}

std::vector<ContactRecord> WindowTest::rows() const { return form->model->records(); }

void WindowTest::press(int key, Qt::KeyboardModifiers modifiers) {
    form->ListView1->setFocus();
    QTest::keyClick(form->ListView1, static_cast<Qt::Key>(key), modifiers);
}

void WindowTest::withModal(const std::function<void()>& act, const std::function<void(QWidget*)>& inDialog) {
    bool opened = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        opened = true;
        inDialog(modal);
        if (modal->isVisible()) // the test did not close it: do not hang
            QTimer::singleShot(0, modal, [modal] { modal->close(); });
    });
    act();
    EXPECT_TRUE(opened) << "no dialog opened";
}

void WindowTest::expectNoModal(const std::function<void()>& act) {
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = true;
            modal->close();
        }
    });
    act();
    QTest::qWait(1); // let the check run when nothing blocked
    EXPECT_FALSE(opened) << "a dialog opened";
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
