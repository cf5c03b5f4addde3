#include "rip.h"

#include <algorithm>

#include "linereader.h"

namespace kolvane {

std::string statusText(std::int64_t ripcount) {
    return std::to_string(ripcount) + " values ripped";
}

Ripper::Ripper(RipState& state, ResultStore& store, OutputOpener& opener, std::string eol)
    : state_(state), store_(store), opener_(opener), eol_(std::move(eol)) {}

void Ripper::prepare(const Settings& settings) {
    store_.clear();
    if (!settings.smart) Setfields(state_, settings.fields);
    state_.Ripcount = 0;
}

std::optional<Error> Ripper::configure(const Settings& settings) {
    settings_ = settings;
    ripper_.configure(settings_, state_);
    // Outfile changes only while events run, so it is compared here rather than
    // per line. What went to the old file is flushed before the new one is used.
    if (out_ && out_->path() != state_.Outfile) return closeOutput();
    return std::nullopt;
}

std::optional<Error> Ripper::closeOutput() {
    if (!out_) return std::nullopt;
    auto error = out_->flush();
    state_.Ripcount -= out_->linesLost();
    out_.reset();
    return error;
}

std::optional<Error> Ripper::splitline(std::string_view line, std::int64_t lineNumber) {
    if (line.empty()) return std::nullopt;
    sawLine_ = true;
    if (!settings_.toFile) {
        result_.clear();
        bool complete = ripper_.rip(line, result_);
        if (settings_.skipEmpty && !complete) return std::nullopt;
        store_.append(result_);
    } else {
        if (!out_) out_.emplace(opener_, state_.Outfile, eol_);
        // Built straight into the output buffer: one copy less per line.
        std::string& buffer = out_->buffer();
        std::size_t start = buffer.size();
        bool complete = ripper_.rip(line, buffer);
        if (settings_.skipEmpty && !complete) {
            buffer.resize(start);
            return std::nullopt;
        }
        if (auto error = out_->commitLine(start, lineNumber)) {
            state_.Ripcount -= out_->linesLost();
            out_.reset();
            return error;
        }
    }
    ++state_.Ripcount;
    return std::nullopt;
}

RunResult Ripper::run(ByteSource& source, const std::string& sourceName, RipHost& host) {
    RunResult result;
    sawLine_ = false;
    if (auto error = configure(host.settings())) {
        result.error = std::move(error);
        return result;
    }
    const auto interval = host.pumpInterval();
    auto nextPump = std::chrono::steady_clock::now() + interval;
    // The clock is read once per 64 KiB of input, not per line.
    constexpr std::int64_t kClockStride = 64 << 10;
    std::int64_t untilClock = kClockStride;

    LineReader reader(source);
    auto progress = [&] {
        return Progress{state_.Ripcount, sawLine_, reader.bytesRead(), source.size()};
    };
    const bool everyLine = pumpEveryLine_;
    while (auto line = reader.next()) {
        bool due = everyLine;
        if (!due && interval.count() > 0 &&
            (untilClock -= static_cast<std::int64_t>(line->size()) + 32) <= 0) {
            untilClock = kClockStride;
            due = std::chrono::steady_clock::now() >= nextPump;
        }
        if (due) {
            if (!host.pump(progress())) {
                result.stopped = true;
                break;
            }
            if (auto error = configure(host.settings())) {
                result.error = std::move(error);
                break;
            }
            nextPump = std::chrono::steady_clock::now() + interval;
        }
        if (auto error = splitline(*line, reader.lineNumber())) {
            result.error = std::move(error);
            break;
        }
    }
    if (!result.error && !result.stopped && reader.failure()) {
        const IoResult& failure = *reader.failure();
        result.error =
            Error{"Cannot read", sourceName, failure.cause, reader.lineNumber() + 1, failure.code};
    }
    if (auto error = closeOutput(); error && !result.error) result.error = std::move(error);
    result.sawLine = sawLine_;
    // A stop comes after a line was read but before it was ripped.
    result.lines = reader.lineNumber() - (result.stopped ? 1 : 0);
    // The slots point into the reader's buffer, which goes away now.
    std::fill(state_.Fieldval.begin(), state_.Fieldval.end(), std::string_view{});
    return result;
}

}  // namespace kolvane
