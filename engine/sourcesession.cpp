#include "sourcesession.h"

#include <algorithm>

#include "blockreader.h"
#include "fieldcutter.h"
#include "lineripper.h"
#include "recordstream.h"
#include "textsource.h"

namespace kolvane {

namespace {

// A source that passes what `inner` gives on, keeping the first `most` bytes
// read through it in `kept`: the start of a source a rip reads, for what the
// session works out of it afterwards.
class KeptStart : public SourceOver {
  public:
    KeptStart(std::unique_ptr<ByteSource> inner, std::string& kept, std::size_t most)
        : SourceOver(std::move(inner)), kept_(kept), most_(most) {}

    IoResult read(std::span<char> buf) override {
        IoResult r = inner_->read(buf);
        kept_.append(buf.data(), std::min(most_ - std::min(most_, kept_.size()), r.bytes));
        return r;
    }

  private:
    std::string& kept_;
    std::size_t most_;
};

// The names a header record gives its fields, field 1 first; in quoted mode
// unquoted.
std::vector<std::string> headerNames(std::string_view record, const Dialect& dialect) {
    std::vector<std::string> names;
    for (const std::string_view field : cutFields(record, dialect)) {
        names.push_back(fieldValue(field, dialect.quoted));
    }
    return names;
}

// The split string as a message quotes it.
std::string shownSplit(std::string_view split) {
    std::string shown = "'";
    for (const char c : split) shown += c == '\t' ? "\\t" : std::string(1, c);
    return shown + "'";
}

}  // namespace

void SourceSession::setSample(SampleText sample) {
    sample_ = std::move(sample);
    names_.reset();
}

void SourceSession::setFirstLine(std::optional<std::string> line) {
    firstLine_ = std::move(line);
    names_.reset();
}

Expected<SourceSession::TakenHeader> SourceSession::readHeader(
    std::unique_ptr<ByteSource> source, const std::string& sourceName, const Dialect& dialect,
    bool ripIt, const std::function<bool()>& keepGoing) {
    RecordStream stream(*source, dialect, keepGoing, std::size_t{64} << 10);
    std::string record;
    const std::size_t limit = defaultLineLimit();
    bool cut = false;
    if (stream.next(&record, limit, cut) == RecordStream::Outcome::failed) {
        return readError(sourceName, stream.failure(), 1);
    }
    if (cut) return readError(sourceName, lineTooLong(limit), 1);
    // A header record may be hundreds of MB: copied once, for the rip.
    const std::string after = stream.rest();
    std::string prefix;
    if (ripIt) {
        prefix.reserve(record.size() + stream.terminator().size() + after.size());
        prefix.append(record).append(stream.terminator());
    }
    prefix.append(after);
    const std::int64_t lines = ripIt ? 0 : stream.lines();
    std::vector<std::string> names = headerNames(record, dialect);
    return TakenHeader{std::make_unique<PrefixedSource>(std::move(prefix), std::move(source)),
                       lines, dialect, std::move(record), std::move(names)};
}

std::unique_ptr<ByteSource> SourceSession::useHeader(TakenHeader header) {
    header_.emplace(header.dialect, std::move(header.record));
    names_.emplace(std::move(header.dialect), std::move(header.names));
    return std::move(header.rest);
}

std::unique_ptr<ByteSource> SourceSession::keepStart(std::unique_ptr<ByteSource> source) {
    constexpr std::size_t kStartBytes = std::size_t{64} << 10;
    ripStart_.clear();
    return std::make_unique<KeptStart>(std::move(source), ripStart_, kStartBytes);
}

void SourceSession::useRipStart() {
    if (sample_.text.empty()) setSample(SampleText{ripStart_, {}, true});
}

void SourceSession::forget() {
    sample_ = {};
    header_.reset();
    firstLine_.reset();
    names_.reset();
}

std::optional<std::string_view> SourceSession::headerRecord(const Dialect& dialect) const {
    if (header_ && header_->first == dialect) return header_->second;
    const auto first = splitSample(sample_.text, dialect, 1, 0, sample_.cutEnds);
    if (!first.empty()) return first.front().bytes;
    if (firstLine_) return *firstLine_;
    return std::nullopt;
}

const std::vector<std::string>* SourceSession::names(const Dialect& dialect) const {
    if (!names_ || names_->first != dialect) {
        const auto record = headerRecord(dialect);
        if (!record) return nullptr;
        names_.emplace(dialect, headerNames(*record, dialect));
    }
    return &names_->second;
}

std::vector<SampleRecord> SourceSession::records(const Dialect& dialect, bool namesOn,
                                                 std::size_t maxRecords,
                                                 std::size_t maxFields) const {
    // Without a sample, the first line the preview showed stands for it.
    const bool firstLine = sample_.text.empty() && firstLine_;
    auto records =
        splitSample(firstLine ? *firstLine_ : sample_.text, dialect, maxRecords + (namesOn ? 1 : 0),
                    maxFields, firstLine ? std::vector<std::size_t>{} : sample_.cutEnds);
    if (namesOn && !records.empty()) records.erase(records.begin());
    return records;
}

FieldSelection SourceSession::fields(const Settings& settings, bool namesOn) const {
    return selectFields(settings.fields, FieldReading::lenient, namesOn,
                        namesOn ? names(settings.dialect()) : nullptr);
}

Settings SourceSession::resolved(Settings settings, bool namesOn) const {
    const auto* header = namesOn ? names(settings.dialect()) : nullptr;
    if (!settings.templateMode || header == nullptr) return settings;
    auto templ = resolveTemplateNames(settings.fields, *header);
    // A template with a name two columns share stays as typed: which column
    // it means is not known.
    if (templ.index() == 0) settings.fields = std::get<0>(std::move(templ));
    return settings;
}

SourceSession::Gives SourceSession::gives(std::string_view record, const Settings& settings,
                                          const FieldList& list, std::size_t maxValues) const {
    Gives gives;
    const Dialect dialect = settings.dialect();
    gives.fields = countFields(record, dialect);
    for (const std::string_view field : cutFields(record, dialect, maxValues)) {
        gives.values.push_back(fieldValue(field, settings.quoted));
    }
    const RipPlan plan(settings, list);
    LineRipper ripper;
    ripper.configure(plan);
    gives.skipped = !ripper.rip(record, gives.result) && settings.skipEmpty;
    return gives;
}

std::string SourceSession::whyEmpty(const Settings& settings, bool namesOn,
                                    const FieldList& list) const {
    const Dialect dialect = settings.dialect();
    const auto records = this->records(dialect, namesOn, 200, 0);
    if (records.empty() || settings.templateMode) return {};
    // What a record with none of the wanted values gives.
    const std::string empty = gives({}, settings, list, 0).result;
    for (const SampleRecord& record : records) {
        if (gives(record.bytes, settings, list, 0).result != empty) return {};
    }
    const FieldSelection selected = fields(settings, namesOn);
    if (!selected.problems.empty()) {
        const FieldProblem& problem = selected.problems.front();
        return "the fields box: '" + problem.entry + "' " + problem.why;
    }
    const auto widest =
        std::max_element(records.begin(), records.end(), [](const auto& a, const auto& b) {
            return a.fieldCount < b.fieldCount;
        })->fieldCount;
    if (!dialect.split.empty() && widest == 1) {
        return "the split string " + shownSplit(dialect.split) + " occurs in none of the first " +
               (namesOn ? "records" : "lines");
    }
    if (list.size() > 0 &&
        std::all_of(list.entries().begin(), list.entries().end(), [&](const FieldRange& r) {
            return r.first < 1 || std::size_t(r.first) > widest;
        })) {
        return "no field chosen is among the " + std::to_string(widest) + " fields of the first " +
               (namesOn ? "records" : "lines");
    }
    return "the fields chosen are blank in the first " + std::string(namesOn ? "records" : "lines");
}

std::string splitAbsentFromHeader(std::string_view record, const std::vector<std::string>& names,
                                  const Dialect& dialect) {
    if (names.size() != 1 || dialect.split.empty() ||
        record.find(dialect.split) != std::string_view::npos) {
        return {};
    }
    return "the split string " + shownSplit(dialect.split) +
           " does not occur in the first line; try --guess";
}

}  // namespace kolvane
