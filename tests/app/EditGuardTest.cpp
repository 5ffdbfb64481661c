// What every edit of every dialog accepts: characters of the code page, one line where the
// value is one line of a file, and a paste that never takes the program down.
#include "files/TextFile.h"
#include "tests/support/app/WindowFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace veldrano;
using veldrano::test::WindowTest;

class EditGuard : public WindowTest {
  protected:
    // Every dialog, so no edit of the program escapes the checks below.
    std::vector<QDialog*> dialogs() const {
        return {form->findChild<QDialog*>("Form2"), form->findChild<QDialog*>("Form3"),
                form->findChild<QDialog*>("Form4"), form->findChild<QDialog*>("Form6")};
    }
    static void pasteInto(QWidget* edit) {
        edit->window()->show();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    }
};

TEST_F(EditGuard, ACharacterTheCodePageCannotHoldIsRefused) {
    start();
    trigger("Nueva");
    withModal([&] { trigger("AgregarReg"); },
              [&](QWidget* d) {
                  auto* nombre = d->findChild<QLineEdit*>("nombre");
                  nombre->insert(QString::fromUtf8("Ana €"));
                  nombre->insert(QString::fromUtf8("Ω"));
                  EXPECT_EQ(nombre->text(), QString::fromUtf8("Ana €"));
                  ASSERT_EQ(platform.shown.size(), 1u);
                  EXPECT_TRUE(platform.shown[0].text.contains(QString::fromUtf8("«Ω»")));
                  click(d, "BitBtn1");
              });
    EXPECT_EQ(names(), std::vector<std::string>{"Ana \x80"});
}

TEST_F(EditGuard, SingleLineEditsTurnEveryLineBreakIntoASpace) {
    start();
    QApplication::clipboard()->setText("Linea1\r\nLinea2\nLinea3\rfin");
    int edits = 0;
    for (QDialog* dialog : dialogs()) {
        for (QLineEdit* edit : dialog->findChildren<QLineEdit*>()) {
            SCOPED_TRACE(edit->objectName().toStdString());
            edit->setEnabled(true);
            edit->clear();
            pasteInto(edit);
            EXPECT_EQ(edit->text(), "Linea1 Linea2 Linea3 fin");
            edit->setText(QStringLiteral("uno\ndos")); // text set another way is kept to one line
            EXPECT_EQ(edit->text(), "uno dos");
            ++edits;
        }
        dialog->hide();
    }
    EXPECT_EQ(edits, 11 + 11 + 1 + 7);
    // The message text keeps its lines.
    auto* mensaje = form->findChild<QPlainTextEdit*>("mensaje");
    mensaje->setEnabled(true);
    pasteInto(mensaje);
    EXPECT_EQ(mensaje->toPlainText(), "Linea1\nLinea2\nLinea3\nfin");
    mensaje->window()->hide();
}

TEST_F(EditGuard, APastedNameWithLineBreaksStillSavesABookThatOpensAgain) {
    start();
    trigger("Nueva");
    QApplication::clipboard()->setText("Linea1\nLinea2");
    withModal([&] { press(Qt::Key_F1, Qt::ControlModifier); },
              [&](QWidget* d) {
                  pasteInto(d->findChild<QLineEdit*>("nombre"));
                  click(d, "BitBtn1");
              });
    platform.saveNames = {QString::fromStdString(path("lineas"))};
    press(Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(ReadTextLines(path("lineas.kbx")).size(), 23u);
    platform.yesNo = {false};
    trigger("Nueva");
    open(path("lineas.kbx"));
    EXPECT_EQ(names(), std::vector<std::string>{"Linea1 Linea2"});
    EXPECT_EQ(platform.shown.size(), 1u); // the question above, no error
}

// With nothing on the clipboard, or a clipboard nobody owns, a paste does nothing. (Run
// under a real X server too, where the toolkit's own paste crashes on such a clipboard.)
TEST_F(EditGuard, PastingAnEmptyOrOwnerlessClipboardDoesNothing) {
    start();
    QApplication::clipboard()->clear();
    for (QDialog* dialog : dialogs()) {
        for (QWidget* edit : dialog->findChildren<QWidget*>()) {
            if (!qobject_cast<QLineEdit*>(edit) && !qobject_cast<QPlainTextEdit*>(edit))
                continue;
            SCOPED_TRACE(edit->objectName().toStdString());
            edit->setEnabled(true);
            pasteInto(edit);
            if (auto* line = qobject_cast<QLineEdit*>(edit))
                EXPECT_TRUE(line->text().isEmpty());
            else
                EXPECT_TRUE(static_cast<QPlainTextEdit*>(edit)->toPlainText().isEmpty());
        }
        dialog->hide();
    }
}
