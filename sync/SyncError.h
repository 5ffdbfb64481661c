#pragma once
#include <stdexcept>

namespace veldrano {

// A sync that cannot go on: the server refused or failed, its answer cannot be read, the
// state beside the book is damaged, or a side was emptied. The message is Spanish text for
// the user and names what the server said.
class SyncError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace veldrano
