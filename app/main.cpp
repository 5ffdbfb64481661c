#include "app/Application.h"
#include "qtsupport/DataFolder.h"
#include "qtsupport/GeneralError.h"
#include "app/Icons.h"
#include "app/SortBook.h"
#include "qtsupport/PlatformServices.h"
#include "qtsupport/Translations.h"
#include "app/agenda.h"

#include <QApplication>
#include <string>

int main(int argc, char* argv[]) {
    if (argc == 4 && std::string(argv[1]) == "--sort")
        return SortBook(argv[2], argv[3]);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KTRVO"));
    InstallSpanishToolkitTexts(app);
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
    return app.exec();
}
