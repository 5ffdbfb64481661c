#pragma once
#include <QString>
#include <QUrl>
#include <optional>

class QWidget;
class QPrinter;

// Everything the windows ask of the desktop: message boxes, file dialogs, the print dialog
// and opening a page. The program uses QtPlatformServices; window tests use a scripted one
// that answers from a queue and records what was shown.
class PlatformServices {
  public:
    enum class Icon { None, Question, Information, Warning, Error };

    virtual ~PlatformServices() = default;

    // Yes/No question with Spanish buttons; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& title, const QString& text,
                          Icon icon) = 0;
    // A message with one "&Aceptar" button.
    virtual void showMessage(QWidget* parent, const QString& title, const QString& text,
                             Icon icon) = 0;
    // Open and save dialogs; nullopt when cancelled. `filter` is in Qt's form
    // ("Archivos Agenda (*.kbx)", several joined by ";;", the first the default); the save
    // dialog tells which of them the user chose through `chosen` when it is given.
    virtual std::optional<QString> getOpenFileName(QWidget* parent, const QString& title,
                                                   const QString& filter) = 0;
    virtual std::optional<QString> getSaveFileName(QWidget* parent, const QString& title,
                                                   const QString& filter,
                                                   QString* chosen = nullptr) = 0;
    // Shows the print dialog for `printer`; false when cancelled.
    virtual bool runPrintDialog(QWidget* parent, QPrinter& printer) = 0;
    // Hands a file or web address to the desktop's default program; the result is not reported.
    virtual void openUrl(const QUrl& url) = 0;
};

// The real desktop.
class QtPlatformServices : public PlatformServices {
  public:
    bool askYesNo(QWidget* parent, const QString& title, const QString& text, Icon icon) override;
    void showMessage(QWidget* parent, const QString& title, const QString& text,
                     Icon icon) override;
    std::optional<QString> getOpenFileName(QWidget* parent, const QString& title,
                                           const QString& filter) override;
    std::optional<QString> getSaveFileName(QWidget* parent, const QString& title,
                                           const QString& filter,
                                           QString* chosen = nullptr) override;
    bool runPrintDialog(QWidget* parent, QPrinter& printer) override;
    void openUrl(const QUrl& url) override;
};
