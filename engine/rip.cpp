#include "rip.h"

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

void Ripper::configure(const Settings& settings) {
    settings_ = settings;
    ripper_.configure(settings_, state_);
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
    bool complete = ripper_.rip(line, result_);
    if (settings_.skipEmpty && !complete) return std::nullopt;
    if (!settings_.toFile) {
        store_.append(result_);
    } else {
        // Outfile is read for every line: a new choice made during the rip takes
        // over from the next line, after what went to the old file is flushed.
        if (out_ && out_->path() != state_.Outfile) {
            if (auto error = closeOutput()) return error;
        }
        if (!out_) out_.emplace(opener_, state_.Outfile, eol_);
        if (auto error = out_->Appendline(result_, lineNumber)) {
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
    configure(host.settings());
    const auto interval = host.pumpInterval();
    auto nextPump = std::chrono::steady_clock::now() + interval;
    // The clock is read once per 64 KiB of input, not per line.
    constexpr std::int64_t kClockStride = 64 << 10;
    std::int64_t untilClock = kClockStride;

    LineReader reader(source);
    auto progress = [&] {
        return Progress{state_.Ripcount, sawLine_, reader.bytesRead(), source.size()};
    };
    while (auto line = reader.next()) {
        if (interval.count() > 0 && (untilClock -= static_cast<std::int64_t>(line->size()) + 32) <= 0) {
            untilClock = kClockStride;
            auto now = std::chrono::steady_clock::now();
            if (now >= nextPump) {
                if (!host.pump(progress())) {
                    result.stopped = true;
                    break;
                }
                configure(host.settings());
                nextPump = std::chrono::steady_clock::now() + interval;
            }
        }
        if (auto error = splitline(*line, reader.lineNumber())) {
            result.error = std::move(error);
            break;
        }
    }
    if (!result.error && !result.stopped && reader.failure()) {
        const IoResult& failure = *reader.failure();
        result.error = Error{"Cannot read", sourceName, failure.cause, reader.lineNumber() + 1,
                             failure.code};
    }
    if (auto error = closeOutput(); error && !result.error) result.error = std::move(error);
    result.sawLine = sawLine_;
    result.lines = reader.lineNumber();
    return result;
}

}  // namespace kolvane
