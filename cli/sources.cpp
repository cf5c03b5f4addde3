#include "sources.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "formatguess.h"
#include "frontrules.h"
#include "guess.h"
#include "textsource.h"

namespace kolvane::cli {

std::string sourceName(const std::string& source) {
    return source == "-" ? "standard input" : source;
}

Expected<std::unique_ptr<ByteSource>> openNamed(const std::string& source,
                                                const StopAsked& stopAsked) {
    if (source == "-") return std::unique_ptr<ByteSource>(FileSource::fromDescriptor(STDIN_FILENO));
    auto opened = FileSource::open(source, 0, stopAsked);
    if (!opened) return opened.error();
    return std::unique_ptr<ByteSource>(std::move(*opened));
}

Expected<std::string> readAhead(ByteSource& source, const std::string& name, std::size_t most,
                                bool& ended, const StopAsked& stopAsked) {
    std::string bytes(most, '\0');
    std::size_t filled = 0;
    ended = false;
    while (filled < most && !ended && !(stopAsked && stopAsked())) {
        const IoResult got = source.read(std::span(bytes).subspan(filled));
        if (got.failed()) return readError(name, got, 1);
        ended = got.bytes == 0 && !got.noDataYet;
        filled += got.bytes;
    }
    bytes.resize(filled);
    return bytes;
}

SourceOpener::SourceOpener(const Options& options, StopAsked stopAsked, Admit admit)
    : options_(options),
      stopAsked_(std::move(stopAsked)),
      admit_(std::move(admit)),
      settings_(options.settings),
      header_(options.header),
      encoding_(options.encoding) {}

Expected<std::unique_ptr<ByteSource>> SourceOpener::openText(const std::string& source) {
    auto opened = openNamed(source, stopAsked_);
    if (!opened) return opened.error();
    std::unique_ptr<ByteSource> raw = std::move(*opened);
    refused_ = !admit_(raw->identity());
    if (refused_) return raw;
    if (options_.autoGuess && guessed_.empty()) return guessThenOpen(std::move(raw), source);
    return readAsText(std::move(raw), encoding_);
}

// The guess reads the text a rip would, as far as it looks (UTF-16 takes
// twice the bytes), from bytes read ahead, which the rip then reads first.
Expected<std::unique_ptr<ByteSource>> SourceOpener::guessThenOpen(std::unique_ptr<ByteSource> raw,
                                                                  const std::string& source) {
    bool ended = false;
    auto head = readAhead(*raw, sourceName(source), 2 * kGuessSampleBytes + 2, ended, stopAsked_);
    if (!head) return head.error();
    auto text =
        readAsText(std::make_unique<PrefixedSource>(*head, std::make_unique<NoBytes>()), encoding_);
    bool whole = false;
    auto sample = readAhead(*text, sourceName(source), kGuessSampleBytes + 1, whole);
    if (!sample) return sample.error();
    auto guess = guessFormat(*sample, ended && sample->size() <= kGuessSampleBytes);
    if (!guess) {
        Error error = guess.error();
        error.file = sourceName(source);
        return error;
    }
    const Options::Given& given = options_.given;
    if (!given.split) settings_.split = guess->split;
    if (!given.join && !guess->split.empty()) settings_.join = guess->split;
    if (!given.quoted) settings_.quoted = guess->quoted;
    if (const auto problem = splitProblem(settings_.dialect()); !problem.empty()) {
        return Error{"Cannot rip", sourceName(source), std::string(problem), 0, 0};
    }
    if (!given.header && guess->headerFirst()) header_ = Options::Header::keep;
    if (!given.encoding) encoding_ = guess->encoding;
    guessed_ = guessedOptions(*guess);
    return readAsText(std::make_unique<PrefixedSource>(std::move(*head), std::move(raw)),
                      encoding_);
}

const std::vector<std::string>& SourceOpener::names() const {
    static const std::vector<std::string> kNone;
    const auto* names = session_.names(settings_.dialect());
    return names != nullptr ? *names : kNone;
}

std::string_view SourceOpener::headerRecord() const {
    return session_.headerRecord(settings_.dialect()).value_or(std::string_view());
}

Expected<OpenedSource> SourceOpener::open(std::size_t i) {
    if (options_.part) return openShare(i);
    auto text = openText(options_.sources[i]);
    if (!text) return text.error();
    return openFrom(i, std::move(*text));
}

// With --part. A source that cannot be cut is refused before any of it is
// read. The guess and the header's names come from a source's start, read as
// a whole rip reads it but only up to its header record, which is cheap; the
// share itself is read from its first record on.
Expected<OpenedSource> SourceOpener::openShare(std::size_t i) {
    if (i == 0) {
        auto planned = planShares();
        if (!planned || planned->usage) return planned;
    }
    if ((i == 0 && options_.autoGuess) ||
        (header_ != Options::Header::none && !shares_[i].holdsFirstRecord())) {
        auto text = openText(options_.sources[i]);
        if (!text) return text.error();
        auto start = openFrom(i, std::move(*text));
        if (!start || start->refused) return start;
    }
    // The guess may have changed how records end.
    if (i == 0 && options_.autoGuess) {
        auto planned = planShares();
        if (!planned || planned->usage) return planned;
    }
    const SourcePart& share = shares_[i];
    auto bytes = openSourcePart(share, stopAsked_);
    if (!bytes) return bytes.error();
    refused_ = !admit_((*bytes)->identity());
    if (share.holdsFirstRecord()) return openFrom(i, std::move(*bytes));
    // The share's first records stand for the session's sample, for the
    // warning after a rip of empty results.
    if (i == 0 && !refused_) *bytes = session_.keepStart(std::move(*bytes));
    return OpenedSource{std::move(*bytes), 0, refused_, {}};
}

// Each source's share of the part, by the dialect and encoding known now;
// nothing to rip but a usage problem when a source cannot be cut.
Expected<OpenedSource> SourceOpener::planShares() {
    auto plan = planPart(options_.sources, *options_.part, settings_.dialect(), encoding_);
    if (auto* error = std::get_if<Error>(&plan)) return std::move(*error);
    if (auto* problem = std::get_if<std::string>(&plan)) {
        return OpenedSource{nullptr, 0, false, std::move(*problem)};
    }
    shares_ = std::get<std::vector<SourcePart>>(std::move(plan));
    return OpenedSource{};
}

void SourceOpener::countFromFileStart(std::size_t i, Error& error) const {
    if (i < shares_.size()) kolvane::countFromFileStart(error, shares_[i]);
}

// Source `i` from its start, its header taken as the options say.
Expected<OpenedSource> SourceOpener::openFrom(std::size_t i, std::unique_ptr<ByteSource> text) {
    const std::string& source = options_.sources[i];
    OpenedSource opened{std::move(text), 0, refused_, {}};
    if (refused_) return opened;
    // The first records read stand for the session's sample, for the warning
    // after a rip of empty results.
    if (i == 0) opened.bytes = session_.keepStart(std::move(opened.bytes));
    if (header_ == Options::Header::none) return opened;
    // The first source's header is ripped like any record, unless skipped;
    // a later source's header never is, and must name what the first names.
    auto taken =
        SourceSession::readHeader(std::move(opened.bytes), sourceName(source), settings_.dialect(),
                                  i == 0 && header_ == Options::Header::keep,
                                  [this] { return !(stopAsked_ && stopAsked_()); });
    if (!taken) return taken.error();
    opened.linesBefore = taken->lines;
    if (i > 0) {
        if (auto error = checkHeader(source, taken->names)) return *error;
    }
    opened.bytes = i == 0 ? session_.useHeader(std::move(*taken)) : std::move(taken->rest);
    return opened;
}

// A later source's header must name the fields as the first one's does:
// the fields are ripped by the first one's numbers, which would take other
// columns in silence.
std::optional<Error> SourceOpener::checkHeader(const std::string& source,
                                               const std::vector<std::string>& names) const {
    const std::vector<std::string>& first = this->names();
    if (names == first) return std::nullopt;
    const auto k = std::size_t(std::ranges::mismatch(names, first).in1 - names.begin());
    auto name = [](const std::vector<std::string>& all, std::size_t at) {
        return at < all.size() ? shownName(all[at], ",", true) : std::string("nothing");
    };
    return Error{"Cannot rip", sourceName(source),
                 "its header differs from the one of " + sourceName(options_.sources.front()) +
                     ": field " + std::to_string(k + 1) + " is " + name(names, k) + " here, " +
                     name(first, k) + " there",
                 1, 0};
}

SourceSession& SourceOpener::session() {
    session_.useRipStart();
    return session_;
}

}  // namespace kolvane::cli
