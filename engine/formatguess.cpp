#include "formatguess.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "fieldlist.h"
#include "guessscore.h"
#include "headerguess.h"
#include "samplereading.h"
#include "textcheck.h"
#include "utf16.h"

namespace kolvane {

namespace {

// How much of the sample is weighed record by record: the rest is only
// looked through for quotes, which some exports use for a rare value.
constexpr std::size_t kScoredBytes = 64 * 1024;

// How close behind the winner a runner-up reads for the guess to name it.
constexpr double kCloseScore = 0.85;

// The split strings a guess considers, most common first: on a tie, the
// earlier one wins.
constexpr std::array<std::string_view, 9> kCandidates = {",", "\t", ";", "|", ":",
                                                         " ", "^",  "~", "#"};

// Reads the sample with `split`, with quotes respected unless they cannot be.
SplitScore judge(std::string_view text, bool whole, SampleReading& reading,
                 std::string_view split) {
    reading.split = split;
    reading.quotes = true;
    if (!readSample(text, whole, reading)) {
        reading.quotes = false;
        readSample(text, whole, reading);
    }
    SplitScore s = scoreReading(text, reading);
    s.titleLines += reading.commentsAbove;
    return s;
}

bool separatorByte(char c) {
    return std::string_view(",;\t|:^#~!*=").find(c) != std::string_view::npos;
}

// Whether `gap` is `run` once or several times over (empty fields between).
bool repeats(std::string_view gap, std::string_view run) {
    if (run.empty() || gap.size() % run.size() != 0) return false;
    for (std::size_t at = 0; at < gap.size(); at += run.size()) {
        if (gap.substr(at, run.size()) != run) return false;
    }
    return true;
}

// A longer split string the winner stands in: "||", "|~|", "::". Only when
// nearly every gap between fields is that same run of separator bytes, or
// that run repeated around empty fields.
std::string longerSplit(std::string_view text, const SampleReading& r) {
    std::vector<std::pair<std::string_view, std::size_t>> seen;  // gaps and how often
    std::size_t gaps = 0;
    for (std::size_t i = 0; i < r.size(); ++i) {
        for (std::size_t c = r.firstCell[i]; c + 1 < r.firstCell[i + 1]; ++c) {
            // Over empty fields too: "a||b" read by "|" has one between.
            std::size_t from = r.cells[c].end, to = r.cells[c + 1].begin;
            while (from > r.records[i].begin && separatorByte(text[from - 1])) --from;
            while (to < r.records[i].end && separatorByte(text[to])) ++to;
            const std::string_view gap = text.substr(from, to - from);
            ++gaps;
            auto it = std::find_if(seen.begin(), seen.end(),
                                   [&](const auto& s) { return s.first == gap; });
            if (it != seen.end()) {
                ++it->second;
            } else if (seen.size() < 16) {
                seen.emplace_back(gap, 1);
            }
        }
    }
    if (seen.empty()) return r.split;
    const std::string_view run =
        std::max_element(seen.begin(), seen.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->first;
    std::size_t same = 0;
    for (const auto& [gap, count] : seen) same += repeats(gap, run) ? count : 0;
    if (run.size() <= r.split.size() || same * 20 < gaps * 19) return r.split;
    return std::string(run);
}

// Whether a value enclosed in quotes stands anywhere in the sample read as
// `r` reads it: in its records, or in a record past them. Records with a
// quote are found by the quote: with no quote since the last record start,
// the line it stands on starts a record.
bool quotedAnywhere(std::string_view sample, const SampleReading& r) {
    auto anyQuoted = [&](const std::vector<FieldSpan>& cells) {
        return std::ranges::any_of(cells, [&](const FieldSpan& f) {
            return properlyQuoted(sample.substr(f.begin, f.end - f.begin));
        });
    };
    if (!r.quotes) return false;
    if (anyQuoted(r.cells)) return true;
    std::vector<FieldSpan> fields;
    for (std::size_t pos = r.end; pos < sample.size();) {
        const std::size_t quote = sample.find('"', pos);
        if (quote == std::string_view::npos) return false;
        const std::size_t lineEnd = sample.find_last_of("\r\n", quote);
        pos = std::max(pos, lineEnd == std::string_view::npos ? 0 : lineEnd + 1);
        if (skipped(sample, pos, r)) {
            pos = afterLine(sample, pos);
            continue;
        }
        const RecordRead record = readFields(sample, pos, {r.split, true}, fields);
        if (record.unterminated) return false;
        if (anyQuoted(fields)) return true;
        pos = record.next;
    }
    return false;
}

// Whether comments start some lines but not nearly all.
bool hasComments(std::string_view text) {
    std::size_t lines = 0, comments = 0;
    for (std::size_t pos = 0; pos < text.size(); pos = afterLine(text, pos)) {
        ++lines;
        comments += commentStart(text, pos);
    }
    return comments > 0 && comments * 10 < lines * 9;
}

struct Trial {
    SplitScore score;
    SampleReading reading;
};

// The split string the sample reads best with, and the runner-up.
std::pair<Trial, Trial> bestSplits(std::string_view text, bool whole) {
    Trial best, second, trial;
    best.reading.comments = second.reading.comments = trial.reading.comments = hasComments(text);
    for (std::string_view split : kCandidates) {
        // Where '#' starts comments, the rest of a line after one is a comment too.
        if (text.find(split) == std::string_view::npos || (split == "#" && best.reading.comments)) {
            continue;
        }
        trial.score = judge(text, whole, trial.reading, split);
        if (trial.score.value > best.score.value) {
            std::swap(second, best);
            std::swap(best, trial);
        } else if (trial.score.value > second.score.value) {
            std::swap(second, trial);
        }
    }
    const std::string longer = longerSplit(text, best.reading);
    if (best.score.value > 0 && longer != best.reading.split) {
        trial.score = judge(text, whole, trial.reading, longer);
        // Its records hold fewer empty values, which costs it some cleanliness.
        if (trial.score.value >= best.score.value * 0.75) std::swap(best, trial);
    }
    return {std::move(best), std::move(second)};
}

// The sample as UTF-8, as far as it reads as UTF-16.
std::string fromUtf16(std::string_view sample, bool bigEndian) {
    std::string out(sample.size() / 2 * 3 + 4, '\0');
    const Conversion c = utf16ToUtf8(std::span(sample.data(), sample.size()), out, bigEndian);
    out.resize(c.written);
    return out;
}

// The guess for text known to be text, encoding apart.
FormatGuess guessTable(std::string_view sample, bool whole) {
    const std::string_view text = sample.substr(0, kScoredBytes);
    whole = whole && text.size() == sample.size();
    FormatGuess guess;
    auto [best, second] = bestSplits(text, whole);
    // A split that keeps records whole, or splits them at random, is no split.
    if (best.score.value < 0.1) {
        judge(text, whole, best.reading, "");
        guess.quoted = quotedAnywhere(sample, best.reading);
        guess.header = hasHeader(text, best.reading, 0, 1);
        return guess;
    }
    guess.split = best.reading.split;
    guess.quoted = quotedAnywhere(sample, best.reading);
    guess.columns = best.score.columns;
    guess.titleLines = best.score.titleLines;
    guess.header = hasHeader(text, best.reading, best.score.titleLines - best.reading.commentsAbove,
                             best.score.columns);
    // A runner-up close behind, not a piece of the winner ("|" of "||").
    if (second.score.value >= best.score.value * kCloseScore &&
        guess.split.find(second.reading.split) == std::string::npos) {
        guess.alsoPossible = second.reading.split;
    }
    return guess;
}

}  // namespace

Expected<FormatGuess> guessFormat(std::string_view sample, bool whole) {
    const std::string_view text = sample.substr(0, kGuessSampleBytes);
    whole = whole && text.size() == sample.size();
    auto problem = [](std::string cause) {
        return Error{"Cannot guess the format of", "", std::move(cause)};
    };
    const std::string_view utf16 = marklessUtf16(text);
    if (!utf16.empty()) {
        const std::string converted = fromUtf16(text, utf16 == "utf-16be");
        Expected<FormatGuess> guess = guessFormat(converted, whole);
        if (guess) guess->encoding = utf16;
        return guess;
    }
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return problem("it holds no text");
    }
    if (looksBinary(text)) return problem("it holds binary data, not text");
    FormatGuess guess = guessTable(text, whole);
    if (!isUtf8(text)) guess.encoding = legacyEncoding(text);
    return guess;
}

bool splitOccurs(std::string_view sample, std::string_view split, std::size_t lines) {
    std::size_t start = 0;
    for (std::size_t line = 0; line < lines && start < sample.size(); ++line) {
        const std::size_t end = std::min(sample.find('\n', start), sample.size());
        if (countSeparators(sample.substr(start, end - start), split) > 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace kolvane
