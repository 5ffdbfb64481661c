// Built into every test program: sanitizer settings that travel with the binary, so a test
// behaves the same whether CTest, a debugger or a shell starts it.
extern "C" {

const char* __asan_default_options() {
    return "detect_leaks=1:abort_on_error=0";
}

const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}

// Allocations the toolkit and the system libraries keep for the life of the process.
const char* __lsan_default_suppressions() {
    return "leak:libQt6\n"
           "leak:libfontconfig\n"
           "leak:libglib\n"
           "leak:libgio\n"
           "leak:libsecret\n"
           "leak:libicu\n"
           "leak:libcups\n"
           "leak:libdbus\n";
}
}
