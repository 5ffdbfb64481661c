#pragma once
#include <QObject>
#include <QString>
#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QWidget;
class PlatformServices;

// Guards every edit of the program:
// - it keeps an edit to characters the program's code page can hold: a character that
//   does not fit (typed or pasted) is taken out again at once and the user is told why,
//   so nothing is silently altered when the text is stored or sent;
// - a single-line edit never holds a line break (or NUL): each one that arrives becomes a
//   space, since every value ends up as one line of a file;
// - pasting reads the clipboard's text itself, so an empty clipboard or one that nobody
//   owns pastes nothing instead of reaching the toolkit's paste of raw clipboard data,
//   which crashes on it.
class CodePageGuard : public QObject {
    Q_OBJECT
  public:
    static void Attach(QLineEdit* edit, PlatformServices& platform);
    static void Attach(QPlainTextEdit* edit, PlatformServices& platform);

    // The message shown for a character that does not fit.
    static QString Message(const QString& character);

    // `text` with every line break (CR LF, CR or LF) and NUL made a space.
    static QString OneLine(QString text);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    CodePageGuard(QObject* edit, PlatformServices& platform);
    void checkLine();
    void checkPlain();
    // Takes a character that does not fit out again (through `restore`) and says why.
    void check(QWidget* edit, const QString& text,
               const std::function<void(const QString&)>& restore);
    void paste();

    PlatformServices& m_platform;
    QString m_lastGood;
    bool m_busy = false;
};
