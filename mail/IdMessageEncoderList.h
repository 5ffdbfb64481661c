#pragma once
#include "mail/IdCoderMIME.h"

#include <functional>
#include <memory>
#include <string>

// The process-wide registry of message encoders by name: "MIME".
class TIdMessageEncoderList {
  public:
    using Factory = std::function<std::unique_ptr<TIdEncoder>()>;

    // The factory of that name (names compare without regard to case), or nullptr.
    static const Factory* FindEncoder(const std::string& name);
};
