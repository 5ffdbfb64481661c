#include "app/CodePageGuard.h"

#include "app/PlatformServices.h"
#include "app/TextCodec.h"
#include "book/CodePage.h"

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
        .arg(character, QString::fromLatin1(veldrano::CodePageName(veldrano::CurrentLocale().codePage)));
}

void CodePageGuard::checkLine() {
    auto* edit = static_cast<QLineEdit*>(parent());
    if (m_busy)
        return;
    const QString text = edit->text();
    const QString bad = TextCodec::FirstUnrepresentable(text);
    if (bad.isEmpty()) {
        m_lastGood = text;
        return;
    }
    m_busy = true;
    const int cursor = edit->cursorPosition();
    edit->setText(m_lastGood);
    edit->setCursorPosition(std::min<int>(cursor, m_lastGood.size()));
    m_busy = false;
    m_platform.showMessage(edit->window(), QStringLiteral("Aviso"), Message(bad),
                           PlatformServices::Icon::Warning);
}

void CodePageGuard::checkPlain() {
    auto* edit = static_cast<QPlainTextEdit*>(parent());
    if (m_busy)
        return;
    const QString text = edit->toPlainText();
    const QString bad = TextCodec::FirstUnrepresentable(text);
    if (bad.isEmpty()) {
        m_lastGood = text;
        return;
    }
    m_busy = true;
    const int cursor = edit->textCursor().position();
    edit->setPlainText(m_lastGood);
    QTextCursor c = edit->textCursor();
    c.setPosition(std::min<int>(cursor, m_lastGood.size()));
    edit->setTextCursor(c);
    m_busy = false;
    m_platform.showMessage(edit->window(), QStringLiteral("Aviso"), Message(bad),
                           PlatformServices::Icon::Warning);
}
