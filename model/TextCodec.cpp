#include "model/TextCodec.h"

#include "text/CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <array>

namespace TextCodec {

namespace {

const char* Name() {
    return veldrano::CodePageName(veldrano::CurrentLocale().codePage);
}

bool SingleByte() {
    return veldrano::CurrentLocale().codePage == 1252;
}

// Windows-1252 byte to character, built once from the toolkit's converter: decoding is the
// hot path of sorting and painting a large book.
const std::array<char16_t, 256>& Table1252() {
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        QStringDecoder decoder("windows-1252");
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            QString s = decoder.decode(QByteArrayView(&byte, 1));
            t[b] = s.isEmpty() ? u'\uFFFD' : s.at(0).unicode();
        }
        return t;
    }();
    return table;
}

} // namespace

void DecodeInto(std::string_view bytes, QString& out) {
    if (!SingleByte()) {
        thread_local QStringDecoder decoder(Name(), QStringConverter::Flag::Stateless);
        out = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
        return;
    }
    const auto& table = Table1252();
    out.resize(static_cast<qsizetype>(bytes.size()));
    QChar* chars = out.data();
    for (unsigned char b : bytes)
        *chars++ = QChar(table[b]);
}

QString ToQString(std::string_view bytes) {
    QString text;
    DecodeInto(bytes, text);
    return text;
}

std::string FromQString(const QString& text) {
    QStringEncoder encoder(Name());
    QByteArray bytes = encoder.encode(text);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool Representable(const QString& text) {
    return FirstUnrepresentable(text).isEmpty();
}

QString FirstUnrepresentable(const QString& text) {
    if (ToQString(FromQString(text)) == text)
        return {};
    // Character by character, so the message can name the one that does not fit.
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QString ch = text.mid(i, len);
        if (ToQString(FromQString(ch)) != ch)
            return ch;
        i += len - 1;
    }
    return {};
}

} // namespace TextCodec
