#pragma once
#include <QString>
#include <string>
#include <string_view>

// The one place where text crosses between the widgets (QString) and the rest of the
// program (bytes in the code page of the user's locale, Windows-1252 for Spanish).
namespace TextCodec {

// Bytes in the program's code page to a QString.
QString ToQString(std::string_view bytes);

// The same into `out`, reusing its storage: sorting compares millions of names.
void DecodeInto(std::string_view bytes, QString& out);

// A QString to bytes in the program's code page. Only call it for text that
// `Representable` accepted: a character the code page cannot hold would be replaced.
std::string FromQString(const QString& text);

// True when every character of `text` has a byte form in the program's code page.
bool Representable(const QString& text);

// The first character of `text` that the code page cannot hold, or an empty string.
QString FirstUnrepresentable(const QString& text);

} // namespace TextCodec
