#include "app/Application.h"
#include "app/WindowArguments.h"
#include "qtsupport/DataFolder.h"
#include "qtsupport/GeneralError.h"
#include "app/Icons.h"
#include "qtsupport/PlatformServices.h"
#include "qtsupport/Translations.h"
#include "app/agenda.h"

#include <BuildInfo.h>
#include <QApplication>

// At file scope, not in an unnamed namespace: the resource initialiser it declares must
// keep its external name.
static int RunWindow(int argc, char* argv[], int (*misuse)(const char*)) {
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources); // the resources live in a static library the linker may drop
    QApplication::setApplicationName(QStringLiteral("KTRVO"));
    InstallSpanishToolkitTexts(app);
    // Ties the windows to the desktop entry, whose icon and name the desktop then shows.
    QApplication::setDesktopFileName(QStringLiteral(VELDRANO_APP_ID));
    QApplication::setWindowIcon(Icons::Program());
    const auto book = BookToOpen(QApplication::arguments(), misuse);
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

// The program's window, as the module the program loads to show it; `misuse` reports a
// wrong argument with the program's usage. Returns the exit status.
extern "C" __attribute__((visibility("default"))) int
VeldranoRunWindow(int argc, char* argv[], int (*misuse)(const char*)) {
    return RunWindow(argc, argv, misuse);
}
