#pragma once
#include <array>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace veldrano::test {

// The session the test runs in, as tests/support/with_test_keyring.sh set it up: "keyring",
// "bus" or "none". A test outside it fails at once rather than reach a user's keyring.
inline std::string TestKeyringMode() {
    const char* mode = std::getenv("VELDRANO_TEST_KEYRING");
    return mode ? mode : "";
}

#define REQUIRE_TEST_SESSION(...)                                                                  \
    do {                                                                                           \
        const std::string mode_ = ::veldrano::test::TestKeyringMode();                             \
        bool ok_ = false;                                                                          \
        for (const char* m_ : {__VA_ARGS__})                                                       \
            ok_ = ok_ || mode_ == m_;                                                              \
        ASSERT_TRUE(ok_) << "run through tests/support/with_test_keyring.sh, not in \"" << mode_   \
                         << "\"";                                                                  \
    } while (0)

// What `secret-tool lookup service VELDRANO key KEY` prints: the item as another program
// reads it from the keyring. Empty when there is none.
inline std::string SecretToolLookup(const std::string& key) {
    const std::string command = "secret-tool lookup service VELDRANO key '" + key + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    std::array<char, 256> chunk{};
    while (size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
        out.append(chunk.data(), n);
    ::pclose(pipe);
    return out;
}

// Puts an item there as another program would.
inline bool SecretToolStore(const std::string& key, const std::string& secret) {
    const std::string command =
        "secret-tool store --label=prueba service VELDRANO key '" + key + "'";
    FILE* pipe = ::popen(command.c_str(), "w");
    std::fwrite(secret.data(), 1, secret.size(), pipe);
    return ::pclose(pipe) == 0;
}

} // namespace veldrano::test
