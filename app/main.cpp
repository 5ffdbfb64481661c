// The program's entry: the command line needs nothing of the window, which is a module of
// its own, loaded only to open a window. So converting or sorting a book starts as fast as
// the toolkit's core alone allows.
#include "app/CommandLine.h"

#include <climits>
#include <cstdio>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {

// The window module next to the program (the build tree) or where the install puts it.
std::string WindowModulePath() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(".");
    dir = dir.substr(0, dir.rfind('/') + 1);
    const std::string beside = dir + "torvikalen-window.so";
    return ::access(beside.c_str(), R_OK) == 0 ? beside : dir + VELDRANO_WINDOW_MODULE;
}

int RunWindow(int argc, char* argv[]) {
    const std::string path = WindowModulePath();
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto run = module ? reinterpret_cast<int (*)(int, char**)>(::dlsym(module, "VeldranoRunWindow"))
                      : nullptr;
    if (!run) {
        std::fprintf(stderr, "torvikalen: no se puede abrir la ventana del programa (%s): %s\n",
                     path.c_str(), ::dlerror());
        return 1;
    }
    return run(argc, argv);
}

} // namespace

int main(int argc, char* argv[]) {
    // Conversions, help and version need no display and create no window.
    if (const auto status = CommandLine::Run(argc, argv))
        return *status;
    return RunWindow(argc, argv);
}
