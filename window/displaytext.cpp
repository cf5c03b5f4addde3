#include "displaytext.h"

#include <QStringDecoder>
#include <algorithm>

namespace kolvane {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; its five unassigned
// bytes there keep their Latin-1 (control) meaning. Qt without ICU has no
// codec for it.
constexpr char16_t kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

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
    // Four bytes make at most one character; a character cut in two at the
    // end would turn the whole start into Windows-1252.
    std::size_t n = std::min(bytes.size(), static_cast<std::size_t>(maxChars) * 4);
    for (int i = 0; i < 3 && n > 0 && n < bytes.size() && (bytes[n] & 0xC0) == 0x80; ++i) --n;
    const QString text = displayText(bytes.substr(0, n));
    if (n == bytes.size() && text.size() <= maxChars) return text;
    qsizetype keep = std::min(text.size(), maxChars - 1);
    if (keep > 0 && keep < text.size() && text.at(keep - 1).isHighSurrogate()) --keep;
    return text.left(keep) + QChar(0x2026);
}

}  // namespace kolvane
