#include "app/WindowArguments.h"

#include <QFileInfo>
#include <string>

std::optional<QString> BookToOpen(const QStringList& arguments, int (*misuse)(const char*)) {
    QString book;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            misuse(("opción desconocida «" + arg.toStdString() + "»").c_str());
            return std::nullopt;
        }
        if (!book.isEmpty()) {
            misuse("solo se abre una agenda cada vez");
            return std::nullopt;
        }
        book = QFileInfo(arg).absoluteFilePath();
    }
    return book;
}
