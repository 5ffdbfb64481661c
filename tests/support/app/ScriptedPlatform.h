#pragma once
#include "qtsupport/PlatformServices.h"

#include <QString>
#include <deque>
#include <optional>
#include <vector>

namespace veldrano::test {

// Platform services for window tests: answers questions and dialogs from queues filled by
// the test, records every message shown, and never blocks on a modal window. A question or
// dialog with no answer queued fails the test.
class ScriptedPlatform : public PlatformServices {
  public:
    struct Shown {
        enum class Kind { Question, Message } kind;
        QString title;
        QString text;
        Icon icon;
    };

    // Queued answers, taken in order.
    std::deque<bool> yesNo;
    std::deque<std::optional<QString>> openNames;
    std::deque<std::optional<QString>> saveNames;
    // The filter the user picks in each save dialog; the dialog's first when none is queued.
    std::deque<QString> saveFilters;
    // Print dialog: nullopt cancels; a path prints to that PDF file.
    std::deque<std::optional<QString>> printTargets;

    std::vector<Shown> shown;
    std::vector<QUrl> openedUrls;
    int printDialogs = 0;

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

    // Titles and filters the file dialogs were opened with, in order.
    std::vector<QString> dialogTitles;
    std::vector<QString> dialogFilters;

    // Texts of the messages and questions shown so far, in order.
    std::vector<QString> texts() const;
    // Forgets what was shown.
    void clearShown() { shown.clear(); }
};

} // namespace veldrano::test
