#pragma once
#include <string>

namespace veldrano {

// The first line of a password file, refused unless only its owner may read it (as ssh
// refuses a key others can read). Throws SyncError.
std::string ReadPasswordFile(const std::string& path);

// Asks for a password on the terminal, without echoing what is typed. Throws SyncError when
// the program has no terminal to ask on.
std::string AskPassword(const std::string& prompt);

} // namespace veldrano
