#include "displaytext.h"

#include <QStringDecoder>
#include <algorithm>

#include "textcheck.h"

namespace kolvane {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; its five unassigned
// bytes there keep their Latin-1 (control) meaning. Qt without ICU has no
// codec for it.
constexpr char16_t kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The first bytes of `bytes` that hold at most `maxChars` characters, without
// a character cut in two at the end: a cut one would make the whole start
// look like Windows-1252.
std::string_view showable(std::string_view bytes, qsizetype maxChars) {
    std::size_t n = std::min(bytes.size(), static_cast<std::size_t>(maxChars) * 4);
    for (int i = 0; i < 3 && n > 0 && n < bytes.size() && (bytes[n] & 0xC0) == 0x80; ++i) --n;
    return bytes.substr(0, n);
}

// The Windows-1252 byte for `c`, or 0 when it has none.
char windows1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    const auto* at = std::ranges::find(kHigh1252, c);
    return at == std::end(kHigh1252) ? 0 : static_cast<char>(0x80 + (at - kHigh1252));
}

}  // namespace

ShownAs shownAs(std::string_view bytes, qsizetype maxChars) {
    return isUtf8(showable(bytes, maxChars)) ? ShownAs::utf8 : ShownAs::windows1252;
}

std::string typedBytes(const QString& text, ShownAs as) {
    if (as == ShownAs::utf8) return text.toUtf8().toStdString();
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const char byte = windows1252Byte(c);
        if (byte != 0 || c == 0) {
            bytes += byte;
            continue;
        }
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size();
        bytes += text.mid(i, pair ? 2 : 1).toUtf8().toStdString();
        i += pair ? 1 : 0;
    }
    return bytes;
}

QString displayText(std::string_view bytes) {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(view);
    if (!utf8.hasError()) return text;
    text.resize(view.size());
    for (qsizetype i = 0; i < view.size(); ++i) {
        const auto byte = static_cast<unsigned char>(view[i]);
        text[i] = QChar(byte >= 0x80 && byte < 0xA0 ? kHigh1252[byte - 0x80] : char16_t{byte});
    }
    return text;
}

QString displayStart(std::string_view bytes, qsizetype maxChars) {
    const std::size_t n = showable(bytes, maxChars).size();
    const QString text = displayText(bytes.substr(0, n));
    if (n == bytes.size() && text.size() <= maxChars) return text;
    qsizetype keep = std::min(text.size(), maxChars - 1);
    if (keep > 0 && keep < text.size() && text.at(keep - 1).isHighSurrogate()) --keep;
    return text.left(keep) + QChar(0x2026);
}

}  // namespace kolvane
