#pragma once
#include <QObject>
#include <QString>
#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QWidget;
class PlatformServices;

// Keeps an edit to characters the program's code page can hold. A character that does not
// fit (typed or pasted) is taken out again at once and the user is told why, so nothing
// is silently altered when the text is stored or sent.
class CodePageGuard : public QObject {
    Q_OBJECT
  public:
    static void Attach(QLineEdit* edit, PlatformServices& platform);
    static void Attach(QPlainTextEdit* edit, PlatformServices& platform);

    // The message shown for a character that does not fit.
    static QString Message(const QString& character);

  private:
    CodePageGuard(QObject* edit, PlatformServices& platform);
    void checkLine();
    void checkPlain();
    // Takes a character that does not fit out again (through `restore`) and says why.
    void check(QWidget* edit, const QString& text,
               const std::function<void(const QString&)>& restore);

    PlatformServices& m_platform;
    QString m_lastGood;
    bool m_busy = false;
};
