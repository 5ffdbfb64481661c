#include "qtsupport/GeneralError.h"

#include "qtsupport/PlatformServices.h"

namespace GeneralError {

QString WithFullStop(const QString& text) {
    if (!text.isEmpty() && text.back().unicode() > u'.')
        return text + QLatin1Char('.');
    return text;
}

QString DecodeMessage(const char* what) {
    return QString::fromUtf8(what);
}

} // namespace GeneralError

namespace GeneralError {

void Show(QWidget* parent, PlatformServices& platform, const QString& text) {
    platform.showMessage(parent, QStringLiteral("KTRVO"), WithFullStop(text),
                         PlatformServices::Icon::Error);
}

void Guard(QWidget* parent, PlatformServices& platform, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        Show(parent, platform, DecodeMessage(e.what()));
    }
}

} // namespace GeneralError
