// Built into every test program: sanitizer settings that travel with the binary, so a test
// behaves the same whether CTest, a debugger or a shell starts it.
#include <cstdlib>

namespace {

// No test reaches the user's session bus, and so the user's keyring: a program's settings
// then stay in its files. The keyring's own tests run in a session of their own
// (tests/support/with_test_keyring.sh), which says so in VELDRANO_TEST_KEYRING.
[[maybe_unused]] const bool kNoUserBus = [] {
    if (!std::getenv("VELDRANO_TEST_KEYRING"))
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/veldrano-test-bus", 1);
    return true;
}();

} // namespace

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
