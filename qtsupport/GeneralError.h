#pragma once
#include <QString>
#include <functional>

class PlatformServices;
class QWidget;

namespace GeneralError {

// The general error box adds a full stop when the text's last character comes after "."
// in the character table (a letter, a digit, a closing quote...), and nothing otherwise.
QString WithFullStop(const QString& text);

// An exception's message as text. Every exception text of the program is UTF-8: user text
// in the code page is converted where it is quoted into a message.
QString DecodeMessage(const char* what);

// Shows the general error box: title "KTRVO", the text with its full stop, error icon.
void Show(QWidget* parent, PlatformServices& platform, const QString& text);

// Runs a command handler: an exception it throws ends the handler and is shown in the
// general error box; the program goes on.
void Guard(QWidget* parent, PlatformServices& platform, const std::function<void()>& handler);

} // namespace GeneralError
