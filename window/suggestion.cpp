#include "suggestion.h"

#include <QStringList>
#include <algorithm>
#include <array>

#include "formatguess.h"
#include "frontrules.h"
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

SourceGuess guessFrom(std::string sample) {
    const bool whole = sample.size() <= kGuessSampleBytes;
    sample.resize(std::min(sample.size(), kGuessSampleBytes));
    Expected<FormatGuess> format = guessFormat(sample, whole);
    if (!format) return {std::nullopt, std::move(sample)};
    return {std::move(*format), std::move(sample)};
}

namespace {

// The guess's split string when the window may offer it instead of the one
// in use; nullopt when it is the one in use.
std::optional<std::optional<std::string>> offerableSplit(const FormatGuess& guess,
                                                         const Settings& now) {
    if (guess.split == now.split) return std::optional<std::string>();
    if (std::ranges::find(kOfferedSplits, guess.split) == kOfferedSplits.end()) return std::nullopt;
    return std::optional<std::string>(guess.split);
}

// The offer for `guess`, its split string `split` (nullopt: the one in use).
Suggestion offerOf(const FormatGuess& guess, const std::optional<std::string>& split,
                   const Settings& now, bool namesOn) {
    Suggestion offer;
    if (split) {
        offer.split = split;
        offer.alsoSplit = guess.alsoPossible;
    }
    offer.quoted = guess.quoted && !now.quoted;
    // Above title lines the first line is a title, not the names.
    offer.header = guess.header && guess.titleLines == 0 && !namesOn;
    return offer;
}

QString splitName(const std::string& split) {
    return split == "\t" ? QStringLiteral("tabs")
                         : QStringLiteral("'%1'").arg(QString::fromStdString(split));
}

}  // namespace

Suggestion suggestFor(const SourceGuess& guess, const Settings& now, bool namesOn) {
    if (!guess.format || guess.format->oneColumn()) return {};
    const auto split = offerableSplit(*guess.format, now);
    // A split string that occurs is the user's choice, right or not.
    if (!split || (*split && splitOccurs(guess.sample, now.split, kLinesLooked))) return {};
    return offerOf(*guess.format, *split, now, namesOn);
}

Suggestion offerAgain(const SourceGuess& guess, const Settings& now, bool namesOn) {
    if (!guess.format || guess.format->oneColumn()) return {};
    const bool quotesOff = guess.format->quoted && !now.quoted;
    const bool splitAbsent = !splitOccurs(guess.sample, now.split, kLinesLooked);
    const auto split = offerableSplit(*guess.format, now);
    if (!split || (!quotesOff && !splitAbsent)) return {};
    Suggestion offer = offerOf(*guess.format, *split, now, namesOn);
    if (!offer.any()) return {};
    offer.why = splitAbsent ? "The split string '" + writeEscapes(now.split) +
                                  "' occurs in none of the first lines"
                            : "Values are in quotes and \"Fields may be quoted\" is off";
    return offer;
}

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
    text += settings > 1 ? QStringLiteral(": use these settings?")
                         : QStringLiteral(": use this setting?");
    if (suggestion.why.empty()) return text;
    return QString::fromStdString(suggestion.why) + QStringLiteral(". ") + text;
}

}  // namespace kolvane
