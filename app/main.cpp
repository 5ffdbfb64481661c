// The program's entry: the command line needs nothing of the window, which is a module of
// its own, loaded only to open a window.
#include "app/CommandLine.h"
#include "app/Modules.h"

int main(int argc, char* argv[]) {
    // Conversions, help and version need no display and create no window.
    if (const auto status = CommandLine::Run(argc, argv))
        return *status;
    auto run = reinterpret_cast<int (*)(int, char**)>(
        ModuleFunction("torvikalen-window.so", "VeldranoRunWindow"));
    return run ? run(argc, argv) : 1;
}
