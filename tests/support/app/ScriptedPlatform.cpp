#include "tests/support/app/ScriptedPlatform.h"

#include <QPrinter>
#include <gtest/gtest.h>

namespace veldrano::test {

bool ScriptedPlatform::askYesNo(QWidget*, const QString& title, const QString& text, Icon icon) {
    shown.push_back({Shown::Kind::Question, title, text, icon});
    if (yesNo.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    bool answer = yesNo.front();
    yesNo.pop_front();
    return answer;
}

void ScriptedPlatform::showMessage(QWidget*, const QString& title, const QString& text, Icon icon) {
    shown.push_back({Shown::Kind::Message, title, text, icon});
}

std::optional<QString> ScriptedPlatform::getOpenFileName(QWidget*, const QString& title,
                                                         const QString& filter) {
    dialogTitles.push_back(title);
    dialogFilters.push_back(filter);
    if (openNames.empty()) {
        ADD_FAILURE() << "unexpected open dialog";
        return std::nullopt;
    }
    auto answer = openNames.front();
    openNames.pop_front();
    return answer;
}

std::optional<QString> ScriptedPlatform::getSaveFileName(QWidget*, const QString& title,
                                                         const QString& filter, QString* chosen) {
    dialogTitles.push_back(title);
    dialogFilters.push_back(filter);
    QString picked = filter.section(QStringLiteral(";;"), 0, 0);
    if (!saveFilters.empty()) {
        picked = saveFilters.front();
        saveFilters.pop_front();
    }
    if (chosen)
        *chosen = picked;
    if (saveNames.empty()) {
        ADD_FAILURE() << "unexpected save dialog";
        return std::nullopt;
    }
    auto answer = saveNames.front();
    saveNames.pop_front();
    return answer;
}

bool ScriptedPlatform::runPrintDialog(QWidget*, QPrinter& printer) {
    ++printDialogs;
    if (printTargets.empty()) {
        ADD_FAILURE() << "unexpected print dialog";
        return false;
    }
    auto target = printTargets.front();
    printTargets.pop_front();
    if (!target)
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(*target);
    return true;
}

void ScriptedPlatform::openUrl(const QUrl& url) {
    openedUrls.push_back(url);
}

std::vector<QString> ScriptedPlatform::texts() const {
    std::vector<QString> out;
    for (const auto& s : shown)
        out.push_back(s.text);
    return out;
}

} // namespace veldrano::test
