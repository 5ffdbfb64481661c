#include "tests/support/app/QtApp.h"

#include <QApplication>

namespace veldrano::test {

void EnsureQApplication() {
    if (QApplication::instance())
        return;
    // Window tests run without a display unless the caller chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // QApplication keeps references to argc and argv for its whole life.
    static int argc = 1;
    static char name[] = "veldrano-tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tear-down order against other statics at exit is not worth the risk.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

} // namespace veldrano::test
