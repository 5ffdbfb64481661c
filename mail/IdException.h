#pragma once
#include <stdexcept>
#include <string>

// What kind of failure an exception is, for a caller that words failures for the user by
// their type (the send-mail dialog) rather than by testing classes one after another.
enum class TIdFailure { Other, Timeout, Tls, Login, ServerText, ReplyTooLong, Cancelled };

// Root of every exception the mail components raise. The message is the text the user sees
// (IdTexts), in UTF-8.
class EIdException : public std::runtime_error {
  public:
    explicit EIdException(const std::string& message, TIdFailure failure = TIdFailure::Other)
        : std::runtime_error(message), m_failure(failure) {}
    TIdFailure Failure() const { return m_failure; }

  private:
    TIdFailure m_failure;
};

// Failures that are part of normal flow (for example a peer closing the connection).
class EIdSilentException : public EIdException {
  public:
    using EIdException::EIdException;
};
