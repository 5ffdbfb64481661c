#include "qtsupport/CodePageGuard.h"

#include "qtsupport/PlatformServices.h"
#include "model/TextCodec.h"
#include "text/CodePage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

CodePageGuard::CodePageGuard(QObject* edit, PlatformServices& platform)
    : QObject(edit), m_platform(platform) {}

void CodePageGuard::Attach(QLineEdit* edit, PlatformServices& platform) {
    auto* guard = new CodePageGuard(edit, platform);
    guard->m_lastGood = edit->text();
    connect(edit, &QLineEdit::textChanged, guard, &CodePageGuard::checkLine);
    edit->installEventFilter(guard);
}

void CodePageGuard::Attach(QPlainTextEdit* edit, PlatformServices& platform) {
    auto* guard = new CodePageGuard(edit, platform);
    guard->m_lastGood = edit->toPlainText();
    connect(edit, &QPlainTextEdit::textChanged, guard, &CodePageGuard::checkPlain);
    edit->installEventFilter(guard);
    edit->viewport()->installEventFilter(guard); // a middle click pastes the selection
}

QString CodePageGuard::OneLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar& c : text)
        if (c == u'\r' || c == u'\n' || c == u'\0')
            c = u' ';
    return text;
}

namespace {

// The clipboard's text, or nothing when no one offers text: raw clipboard data is never
// handed to the toolkit's own paste.
QString ClipboardText(QClipboard::Mode mode) {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(mode);
    return data && data->hasText() ? data->text() : QString();
}

} // namespace

bool CodePageGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) {
        paste();
        return true;
    }
    auto* plain = qobject_cast<QPlainTextEdit*>(parent());
    if (plain && watched == plain->viewport() &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton &&
        ClipboardText(QClipboard::Selection).isEmpty())
        return true;
    return QObject::eventFilter(watched, event);
}

void CodePageGuard::paste() {
    const QString text = ClipboardText(QClipboard::Clipboard);
    if (text.isEmpty())
        return;
    if (auto* line = qobject_cast<QLineEdit*>(parent())) {
        if (!line->isReadOnly())
            line->insert(OneLine(text));
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(parent())) {
        if (!plain->isReadOnly())
            plain->insertPlainText(text);
    }
}

QString CodePageGuard::Message(const QString& character) {
    return QString::fromUtf8("El carácter «%1» no se puede escribir aquí: la agenda guarda "
                             "el texto en la página de códigos %2, que no lo tiene.")
        .arg(character,
             QString::fromLatin1(veldrano::CodePageName(veldrano::CurrentLocale().codePage)));
}

void CodePageGuard::checkLine() {
    auto* edit = static_cast<QLineEdit*>(parent());
    if (!m_busy && OneLine(edit->text()) != edit->text()) {
        // Typed, pasted or set by the program: the value must stay one line.
        const int cursor = edit->cursorPosition();
        m_busy = true;
        edit->setText(OneLine(edit->text()));
        m_busy = false;
        edit->setCursorPosition(std::min<int>(cursor, static_cast<int>(edit->text().size())));
    }
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
