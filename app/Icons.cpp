#include "app/Icons.h"

#include <BuildInfo.h>
#include <QApplication>
#include <QDir>
#include <QStyle>
#include <cstring>

namespace Icons {

namespace {

struct Row {
    const char* command;
    const char* themeName;
    QStyle::StandardPixmap fallback;
};

constexpr Row kRows[] = {
    {"Nueva", "document-new", QStyle::SP_FileIcon},
    {"Abrir", "document-open", QStyle::SP_DialogOpenButton},
    {"Guardar", "document-save", QStyle::SP_DialogSaveButton},
    {"imprimir", "document-print", QStyle::SP_FileDialogDetailedView},
    {"Salir", "system-log-out", QStyle::SP_DialogCloseButton},
    {"Cortar", "edit-cut", QStyle::SP_DialogDiscardButton},
    {"copiar", "edit-copy", QStyle::SP_FileLinkIcon},
    {"Pegar", "edit-paste", QStyle::SP_DialogApplyButton},
    {"Buscar", "edit-find", QStyle::SP_FileDialogContentsView},
    {"AgregarReg", "list-add", QStyle::SP_FileDialogNewFolder},
    {"EliminarReg", "list-remove", QStyle::SP_TrashIcon},
    {"ModificarReg", "document-properties", QStyle::SP_FileDialogInfoView},
    {"BorrarAgenda", "edit-clear", QStyle::SP_DialogResetButton},
    {"EnviarMail", "mail-message-new", QStyle::SP_ArrowForward},
    {"BrowseURL1", "internet-web-browser", QStyle::SP_DriveNetIcon},
    {"BrowseURL2", "help-browser", QStyle::SP_DialogHelpButton},
    {"BorrarRegistro", "edit-delete", QStyle::SP_TrashIcon},
};

} // namespace

void SetUpTheme() {
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor"))
        return;
    for (const char* theme : {"Tango", "Adwaita", "breeze"}) {
        for (const QString& dir : QIcon::themeSearchPaths()) {
            if (QDir(dir + QLatin1Char('/') + QLatin1String(theme)).exists()) {
                QIcon::setThemeName(QLatin1String(theme));
                return;
            }
        }
    }
}

QIcon Program() {
    return QIcon::fromTheme(QStringLiteral(VELDRANO_APP_ID),
                            QIcon(QStringLiteral(":/veldrano.svg")));
}

QIcon Get(const char* command) {
    for (const Row& row : kRows) {
        if (std::strcmp(row.command, command) == 0) {
            QIcon icon = QIcon::fromTheme(QLatin1String(row.themeName));
            if (icon.isNull())
                icon = QApplication::style()->standardIcon(row.fallback);
            return icon;
        }
    }
    return {};
}

} // namespace Icons
