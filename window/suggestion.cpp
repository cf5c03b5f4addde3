#include "suggestion.h"

#include <QStringList>
#include <algorithm>
#include <array>

#include "formatguess.h"
#include "sourceopen.h"

namespace kolvane {

namespace {

// Lines looked at for whether the split string in use occurs at all.
constexpr std::size_t kLinesLooked = 10;

constexpr std::array<std::string_view, 5> kOfferedSplits = {",", ";", "\t", "|", ":"};

}  // namespace

std::string guessSample(const std::string& path, std::string_view previewed) {
    auto text = openForLook(path);
    if (!text) return std::string(previewed);
    std::string sample(kGuessSampleBytes + 1, '\0');
    std::size_t filled = 0;
    while (filled < sample.size()) {
        const IoResult got = (*text)->read(std::span(sample).subspan(filled));
        if (got.failed()) return std::string(previewed);
        if (got.bytes == 0) break;
        filled += got.bytes;
    }
    sample.resize(filled);
    return sample;
}

Suggestion suggestFor(std::string_view sample, bool whole, const Settings& now, bool namesOn) {
    Suggestion offer;
    Expected<FormatGuess> guess = guessFormat(sample, whole);
    if (!guess || guess->oneColumn()) return offer;
    if (guess->split != now.split) {
        const bool offered = std::find(kOfferedSplits.begin(), kOfferedSplits.end(),
                                       guess->split) != kOfferedSplits.end();
        // A split string that occurs is the user's choice, right or not.
        if (!offered || splitOccurs(sample, now.split, kLinesLooked)) return offer;
        offer.split = guess->split;
        offer.alsoSplit = guess->alsoPossible;
    }
    offer.quoted = guess->quoted && !now.quoted;
    // Above title lines the first line is a title, not the names.
    offer.header = guess->header && guess->titleLines == 0 && !namesOn;
    return offer;
}

namespace {

QString splitName(const std::string& split) {
    return split == "\t" ? QStringLiteral("tabs")
                         : QStringLiteral("'%1'").arg(QString::fromStdString(split));
}

}  // namespace

QString suggestionText(const Suggestion& suggestion) {
    QStringList fields;
    if (suggestion.split) {
        QString split = QStringLiteral("split by ") + splitName(*suggestion.split);
        if (suggestion.alsoSplit) {
            split += QStringLiteral(" (or by %1)").arg(splitName(*suggestion.alsoSplit));
        }
        fields << split;
    }
    if (suggestion.quoted) fields << QStringLiteral("quoted");
    QString text;
    if (!fields.empty()) {
        text = QStringLiteral("Fields seem to be ") + fields.join(QStringLiteral(" and "));
    }
    if (suggestion.header) {
        text += text.isEmpty() ? QStringLiteral("The first line seems to hold names")
                               : QStringLiteral(", and the first line to hold names");
    }
    const auto settings = fields.size() + (suggestion.header ? 1 : 0);
    return text + (settings > 1 ? QStringLiteral(": use these settings?")
                                : QStringLiteral(": use this setting?"));
}

QString typedSplit(std::string_view split) {
    QString typed;
    for (const QChar c : QString::fromStdString(std::string(split))) {
        if (c == QLatin1Char('\t')) {
            typed += QStringLiteral("\\t");
        } else if (c == QLatin1Char('\\')) {
            typed += QStringLiteral("\\\\");
        } else {
            typed += c;
        }
    }
    return typed;
}

}  // namespace kolvane
