// The program's entry: the command line needs nothing of the window, which is a module of
// its own, loaded only to open a window.
#include "cli/CommandLine.h"
#include "cli/Modules.h"

namespace {

// Handed to the window, which reads its arguments once the toolkit took its own options.
int WindowMisuse(const char* what) {
    return CommandLine::Misuse(what);
}

} // namespace

int main(int argc, char* argv[]) {
    // Conversions, help and version need no display and create no window.
    if (const auto status = CommandLine::Run(argc, argv))
        return *status;
    auto run = reinterpret_cast<int (*)(int, char**, int (*)(const char*))>(
        ModuleFunction("torvikalen-window.so", "VeldranoRunWindow"));
    return run ? run(argc, argv, WindowMisuse) : 1;
}
