// The print, about, help and web commands as the main window runs them.
#include "app/PrintBuffer.h"
#include "book/PrintLines.h"
#include "tests/support/RtfReader.h"
#include "tests/support/app/WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>

using namespace veldrano;
using veldrano::test::WindowTest;

class HelpAndPrint : public WindowTest {};

TEST_F(HelpAndPrint, PrintingTakesEveryRowAndFieldWhateverIsShownOrSelected) {
    start();
    ContactRecord full{};
    for (int f = 0; f < kFieldCount; ++f)
        full[f] = "f" + std::to_string(f);
    full[0] = "Zoe";
    open((writeBook("l.kbx", {full, Record("Ana Ruiz", "555 12 34")}, {2, 6})));
    clickRow(1);
    platform.printTargets = {QString::fromStdString(path("uno.pdf")),
                             QString::fromStdString(path("dos.pdf"))};
    press(Qt::Key_P, Qt::ControlModifier);
    const std::string first = test::ReadFileBytes(dataFile("imprimir.prn"));
    std::vector<std::string> lines = test::ReadRtf(first).texts();
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[12], "< Ana Ruiz | -null- | 555 12 34 | -null- | -null- | -null- | -null- | "
                         "-null- | -null- | -null- | -null->");
    EXPECT_EQ(lines[13], "< Zoe | f1 | f2 | f3 | f4 | f5 | f6 | f7 | f8 | f9 | f10>");
    EXPECT_TRUE(std::filesystem::exists(path("uno.pdf")));
    // Hiding more columns and changing the selection changes nothing.
    viewItem(Field::nombre)->trigger();
    trigger("SeleccionarTodo1");
    trigger("imprimir");
    // The same again: the first print's record lines left the buffer.
    EXPECT_EQ(test::ReadFileBytes(dataFile("imprimir.prn")), first);
    EXPECT_FALSE(asksToSaveChanges());
}

TEST_F(HelpAndPrint, AboutBoxHelpPageAndWebPage) {
    start();
    withModal([&] { trigger("Acercade1"); },
              [](QWidget* box) {
                  EXPECT_EQ(box->windowTitle(), "Acerca de");
                  QTest::mouseClick(box->findChild<QPushButton*>("Button1"), Qt::LeftButton);
              });
    trigger("BrowseURL2");
    trigger("BrowseURL1");
    ASSERT_EQ(platform.openedUrls.size(), 2u);
    EXPECT_TRUE(platform.openedUrls[0].isLocalFile());
    EXPECT_TRUE(platform.openedUrls[0].toLocalFile().endsWith("/ayuda.htm"));
    EXPECT_TRUE(std::filesystem::exists(platform.openedUrls[0].toLocalFile().toStdString()));
    EXPECT_EQ(platform.openedUrls[1].scheme(), "https");
    expectNoModal([&] { press(Qt::Key_F10); }); // the notes command does nothing
    EXPECT_TRUE(platform.shown.empty());
}
