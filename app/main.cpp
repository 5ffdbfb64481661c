#include "app/Application.h"
#include "app/CommandLine.h"
#include "qtsupport/DataFolder.h"
#include "qtsupport/GeneralError.h"
#include "app/Icons.h"
#include "qtsupport/PlatformServices.h"
#include "qtsupport/Translations.h"
#include "app/agenda.h"

#include <BuildInfo.h>
#include <QApplication>
#include <string>

int main(int argc, char* argv[]) {
    // Conversions, help and version need no display and create no window.
    if (const auto status = CommandLine::Run(argc, argv))
        return *status;

    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources); // the resources live in a static library the linker may drop
    QApplication::setApplicationName(QStringLiteral("KTRVO"));
    InstallSpanishToolkitTexts(app);
    // Ties the windows to the desktop entry, whose icon and name the desktop then shows.
    QApplication::setDesktopFileName(QStringLiteral(VELDRANO_APP_ID));
    QApplication::setWindowIcon(Icons::Program());
    const auto book = CommandLine::BookToOpen(QApplication::arguments());
    if (!book)
        return 2;
    Icons::SetUpTheme();

    QtPlatformServices platform;
    try {
        DataFolder::EnsureCreated();
    } catch (const std::exception& e) {
        platform.showMessage(nullptr, QStringLiteral("KTRVO"),
                             GeneralError::WithFullStop(GeneralError::DecodeMessage(e.what())),
                             PlatformServices::Icon::Error);
    }
    auto form1 = CreateApplicationWindows(platform);
    form1->show();
    if (!book->isEmpty())
        form1->OpenBook(*book); // as Abrir loads the file the dialog chose
    return app.exec();
}
