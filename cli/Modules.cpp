#include "cli/Modules.h"

#include <climits>
#include <cstdio>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

void* ModuleFunction(const char* fileName, const char* symbol) {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(".");
    dir = dir.substr(0, dir.rfind('/') + 1);
    std::string path = dir + fileName;
    if (::access(path.c_str(), R_OK) != 0)
        path = dir + VELDRANO_MODULE_DIR + "/" + fileName;
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* function = module ? ::dlsym(module, symbol) : nullptr;
    if (!function)
        std::fprintf(stderr, "torvikalen: no se puede cargar %s: %s\n", path.c_str(), ::dlerror());
    return function;
}
