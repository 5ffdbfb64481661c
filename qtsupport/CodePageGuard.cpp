#include "qtsupport/CodePageGuard.h"

#include "qtsupport/PlatformServices.h"
#include "qtsupport/TextCodec.h"
#include "text/CodePage.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>

CodePageGuard::CodePageGuard(QObject* edit, PlatformServices& platform)
    : QObject(edit), m_platform(platform) {}

void CodePageGuard::Attach(QLineEdit* edit, PlatformServices& platform) {
    auto* guard = new CodePageGuard(edit, platform);
    guard->m_lastGood = edit->text();
    connect(edit, &QLineEdit::textChanged, guard, &CodePageGuard::checkLine);
}

void CodePageGuard::Attach(QPlainTextEdit* edit, PlatformServices& platform) {
    auto* guard = new CodePageGuard(edit, platform);
    guard->m_lastGood = edit->toPlainText();
    connect(edit, &QPlainTextEdit::textChanged, guard, &CodePageGuard::checkPlain);
}

QString CodePageGuard::Message(const QString& character) {
    return QString::fromUtf8("El carácter «%1» no se puede escribir aquí: la agenda guarda "
                             "el texto en la página de códigos %2, que no lo tiene.")
        .arg(character,
             QString::fromLatin1(veldrano::CodePageName(veldrano::CurrentLocale().codePage)));
}

void CodePageGuard::checkLine() {
    auto* edit = static_cast<QLineEdit*>(parent());
    check(edit, edit->text(), [edit](const QString& text) {
        const int cursor = edit->cursorPosition();
        edit->setText(text);
        edit->setCursorPosition(std::min<int>(cursor, text.size()));
    });
}

void CodePageGuard::checkPlain() {
    auto* edit = static_cast<QPlainTextEdit*>(parent());
    check(edit, edit->toPlainText(), [edit](const QString& text) {
        const int cursor = edit->textCursor().position();
        edit->setPlainText(text);
        QTextCursor c = edit->textCursor();
        c.setPosition(std::min<int>(cursor, text.size()));
        edit->setTextCursor(c);
    });
}

void CodePageGuard::check(QWidget* edit, const QString& text,
                          const std::function<void(const QString&)>& restore) {
    if (m_busy)
        return;
    const QString bad = TextCodec::FirstUnrepresentable(text);
    if (bad.isEmpty()) {
        m_lastGood = text;
        return;
    }
    m_busy = true;
    restore(m_lastGood);
    m_busy = false;
    m_platform.showMessage(edit->window(), QStringLiteral("Aviso"), Message(bad),
                           PlatformServices::Icon::Warning);
}
