#include "qtsupport/GeneralError.h"

#include "qtsupport/PlatformServices.h"
#include "model/TextCodec.h"

#include <QStringDecoder>

namespace GeneralError {

QString WithFullStop(const QString& text) {
    if (!text.isEmpty() && text.back().unicode() > u'.')
        return text + QLatin1Char('.');
    return text;
}

QString DecodeMessage(const char* what) {
    QByteArrayView bytes(what);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return TextCodec::ToQString(std::string(bytes.data(), static_cast<size_t>(bytes.size())));
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
