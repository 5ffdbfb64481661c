#include "tests/support/app/WindowFixture.h"
#include "tests/support/BookText.h"

#include "app/Application.h"
#include "book/BookFile.h"
#include "book/ContactFields.h"
#include "model/TextCodec.h"
#include "tests/support/app/QtApp.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
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
    WriteFileBytes(p, test::BookText(columns, records));
    return p;
}

void WindowTest::open(const std::string& p) {
    form->OpenBook(QString::fromStdString(p));
}

QAction* WindowTest::action(const char* name) const {
    auto* a = form->findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(a, nullptr) << name;
    return a;
}

QAction* WindowTest::viewItem(Field field) const {
    return action(FieldOf(field).viewItemName);
}

QMenu* WindowTest::menu(const char* name) const {
    return form->findChild<QMenu*>(QString::fromLatin1(name));
}

QAbstractItemView* WindowTest::list() const {
    return form->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
}

QHeaderView* WindowTest::header() const {
    return static_cast<QTableView*>(list())->horizontalHeader();
}

QString WindowTest::status() const {
    return form->findChild<QLabel*>(QStringLiteral("StatusBar"))->text();
}

void WindowTest::trigger(const char* name) const {
    action(name)->trigger();
}

std::vector<ContactRecord> WindowTest::rows() const {
    std::vector<ContactRecord> out;
    const QAbstractItemModel* model = list()->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        ContactRecord record;
        for (int f = 0; f < kFieldCount; ++f)
            record[f] = TextCodec::FromQString(model->index(r, f).data().toString());
        out.push_back(record);
    }
    return out;
}

std::vector<std::string> WindowTest::names() const {
    std::vector<std::string> out;
    for (const ContactRecord& r : rows())
        out.push_back(r[0]);
    return out;
}

std::vector<int> WindowTest::selectedRows() const {
    std::vector<int> out;
    for (const QModelIndex& index : list()->selectionModel()->selectedRows())
        out.push_back(index.row());
    std::sort(out.begin(), out.end());
    return out;
}

void WindowTest::press(int key, Qt::KeyboardModifiers modifiers) {
    // Shortcuts reach the active window only; a dialog that just closed may have left
    // no window active.
    for (int i = 0; i < 400 && QApplication::activeWindow() != form.get(); ++i) {
        form->activateWindow();
        QTest::qWait(5);
    }
    EXPECT_EQ(QApplication::activeWindow(), form.get());
    list()->setFocus();
    QTest::keyClick(list(), static_cast<Qt::Key>(key), modifiers);
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
    QRect rect = list()->visualRect(list()->model()->index(row, 0));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, modifiers, rect.center());
}

void WindowTest::type(QWidget* dialog, const char* edit, const QString& text) {
    auto* line = dialog->findChild<QLineEdit*>(QString::fromLatin1(edit));
    ASSERT_NE(line, nullptr) << edit;
    line->clear();
    // Key presses for what a keyboard types; other characters arrive as an input method
    // or a paste brings them.
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() >= 0x20 && c.unicode() < 0x7F;
    if (ascii)
        QTest::keyClicks(line, text);
    else
        line->insert(text);
}

void WindowTest::click(QWidget* dialog, const char* button) {
    auto* b = dialog->findChild<QPushButton*>(QString::fromLatin1(button));
    ASSERT_NE(b, nullptr) << button;
    QTest::mouseClick(b, Qt::LeftButton);
}

ContactRecord WindowTest::recordModifyShows() {
    ContactRecord shown;
    withModal([&] { press(Qt::Key_F3, Qt::ControlModifier); },
              [&](QWidget* dialog) {
                  for (const FieldInfo& field : kFields)
                      shown[FieldIndex(field.field)] = TextCodec::FromQString(
                          dialog->findChild<QLineEdit*>(QString::fromLatin1(field.name))->text());
                  click(dialog, "BitBtn2");
              });
    return shown;
}

bool WindowTest::asksToSaveChanges() {
    const size_t before = platform.shown.size();
    platform.yesNo.push_back(false);
    platform.openNames.push_back(std::nullopt);
    trigger("Abrir");
    const bool asked =
        platform.shown.size() > before &&
        platform.shown[before].text == QString::fromUtf8("Desea guardar los cambios realizados?");
    platform.yesNo.clear();
    platform.openNames.clear();
    platform.shown.erase(platform.shown.begin() + static_cast<std::ptrdiff_t>(before),
                         platform.shown.end());
    return asked;
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
