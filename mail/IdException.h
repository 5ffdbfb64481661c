#pragma once
#include <stdexcept>
#include <string>

// Root of every exception the mail components raise. The message is the English text
// the user sees.
class EIdException : public std::runtime_error {
  public:
    explicit EIdException(const std::string& message) : std::runtime_error(message) {}
};

// Failures that are part of normal flow (for example a peer closing the connection).
class EIdSilentException : public EIdException {
  public:
    using EIdException::EIdException;
};
