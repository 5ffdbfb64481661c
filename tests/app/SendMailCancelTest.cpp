// The send-mail dialog while a server keeps it waiting: the window stays alive and
// "&Cancelar" ends the session at once.
#include "maildialog/Unit6.h"
#include "tests/support/app/QtApp.h"
#include "tests/support/app/ScriptedPlatform.h"
#include "tests/support/net/LoopbackServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace veldrano::test;

namespace {

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// What the test saw while the session was waiting, and when it pressed Cancelar.
struct WhileWaiting {
    QString label;
    bool busyCursor = false;
    bool repainted = false;
    QElapsedTimer sinceCancel;
};

// Clicks `button`; while the session it starts waits for the silent server, checks the
// window and then presses Cancelar on the progress box.
WhileWaiting ClickAndCancel(TForm6& dialog, QPushButton* button) {
    WhileWaiting seen;
    PaintCounter counter;
    dialog.installEventFilter(&counter);
    QTimer::singleShot(300, &dialog, [&] {
        dialog.update();
        QTimer::singleShot(200, &dialog, [&] {
            auto* progress = dialog.findChild<QProgressDialog*>(QStringLiteral("progreso"));
            ASSERT_TRUE(progress && progress->isVisible());
            seen.label = progress->labelText();
            seen.busyCursor = QApplication::overrideCursor() &&
                              QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            seen.repainted = counter.paints > 0;
            for (auto* b : progress->findChildren<QPushButton*>())
                if (b->text() == QStringLiteral("&Cancelar")) {
                    seen.sinceCancel.start();
                    QTest::mouseClick(b, Qt::LeftButton);
                }
        });
    });
    QTest::mouseClick(button, Qt::LeftButton);
    dialog.removeEventFilter(&counter);
    return seen;
}

TEST(SendMailCancel, CancelarEndsASessionWithASilentServerAtOnceAndKeepsTheFields) {
    EnsureQApplication();
    ScriptedPlatform platform;
    TForm6 dialog(nullptr, platform);
    dialog.show();
    dialog.servidor->setText(QStringLiteral("127.0.0.1"));

    {
        LoopbackServer silent; // accepts, never greets
        silent.accept().expectClosed(std::chrono::seconds(10));
        dialog.SetPortForTesting(silent.port());
        const WhileWaiting seen = ClickAndCancel(dialog, dialog.conectar);
        EXPECT_LT(seen.sinceCancel.elapsed(), 1000);
        EXPECT_EQ(seen.label, QString::fromUtf8("Conectando…"));
        EXPECT_TRUE(seen.busyCursor);
        EXPECT_TRUE(seen.repainted);
        EXPECT_TRUE(silent.finished()); // the client hung up
    }
    ASSERT_EQ(platform.texts(), std::vector<QString>{QString::fromUtf8("Operación cancelada")});
    EXPECT_FALSE(dialog.MiSMTP.IsConnected());
    EXPECT_TRUE(dialog.enviar->isEnabled()); // the connected layout, as after any failed connect

    dialog.destino->setText(QStringLiteral("ana@correo.example"));
    dialog.respuesta->setText(QStringLiteral("lucia@correo.example"));
    dialog.asunto->setText(QStringLiteral("Hola"));
    dialog.mensaje->setPlainText(QStringLiteral("Texto"));
    {
        LoopbackServer silent;
        silent.accept().expectClosed(std::chrono::seconds(10));
        dialog.SetPortForTesting(silent.port());
        const WhileWaiting seen = ClickAndCancel(dialog, dialog.enviar);
        EXPECT_LT(seen.sinceCancel.elapsed(), 1000);
        EXPECT_EQ(seen.label, QString::fromUtf8("Enviando…"));
        EXPECT_TRUE(silent.finished());
    }
    EXPECT_EQ(platform.texts().size(), 2u);
    EXPECT_EQ(platform.texts().back(), QString::fromUtf8("Operación cancelada"));
    EXPECT_EQ(dialog.destino->text(), QStringLiteral("ana@correo.example"));
    EXPECT_EQ(dialog.respuesta->text(), QStringLiteral("lucia@correo.example"));
    EXPECT_EQ(dialog.asunto->text(), QStringLiteral("Hola"));
    EXPECT_EQ(dialog.mensaje->toPlainText(), QStringLiteral("Texto"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    dialog.close();
}

} // namespace
