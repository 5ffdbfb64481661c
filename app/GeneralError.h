#pragma once
#include <QString>

namespace GeneralError {

// The general error box adds a full stop when the text's last character comes after "."
// in the character table (a letter, a digit, a closing quote...), and nothing otherwise.
QString WithFullStop(const QString& text);

// An exception's message as text: UTF-8 when it reads as UTF-8 (file names, system
// texts), otherwise bytes in the program's code page (a mail server's words).
QString DecodeMessage(const char* what);

} // namespace GeneralError
