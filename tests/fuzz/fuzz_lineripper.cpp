// Properties of the rip engine on fuzzer-made lines, split strings, field lists
// and templates. Each check states something that holds for every input and
// aborts when it does not; the sanitizers report memory and arithmetic faults
// on top. The plain references below are written for clarity, not speed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "linereader.h"
#include "rip.h"
#include "testutil.h"

namespace {

using namespace kolvane;

void check(bool ok, const char* property) {
    if (ok) return;
    std::fprintf(stderr, "property violated: %s\n", property);
    std::abort();
}

std::int64_t refCount(std::string_view text, std::string_view sep) {
    std::int64_t count = 0;
    for (auto p = sep.empty() ? text.npos : text.find(sep); p != text.npos;
         p = text.find(sep, p + sep.size())) {
        ++count;
    }
    return count;
}

std::string_view refTrim(std::string_view v) {
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
    return v;
}

void refReplaceAll(std::string& text, const std::string& what, std::string_view with) {
    std::string out;
    std::size_t from = 0;
    for (auto p = text.find(what); p != text.npos; p = text.find(what, from)) {
        out.append(text, from, p - from).append(with);
        from = p + what.size();
    }
    text = out.append(text, from);
}

// The template rule step by step: field i replaces every "[i]" in what the
// earlier fields left; only the last field is trimmed, and it is never tested.
std::optional<std::string> refTemplate(std::string_view templ, std::string_view line,
                                       std::string_view split, bool skip) {
    std::string out(refTrim(templ));
    bool complete = true;
    const std::int64_t n = refCount(line, split) + 1;
    std::string_view rest = line;
    for (std::int64_t i = 1; i <= n; ++i) {
        const std::string ph = "[" + std::to_string(i) + "]";
        if (i == n) {
            refReplaceAll(out, ph, refTrim(rest));
            break;
        }
        auto d = rest.find(split);
        if (refTrim(rest.substr(0, d)).empty() && out.find(ph) != out.npos) complete = false;
        refReplaceAll(out, ph, rest.substr(0, d));
        rest.remove_prefix(d + split.size());
        if (out.find('[') == out.npos) break;  // nothing left that a field could fill
    }
    if (skip && !complete) return std::nullopt;
    return out;
}

// The fields of a line: the pieces between the split string's occurrences,
// found left to right without overlap.
std::vector<std::string_view> refFields(std::string_view line, std::string_view split) {
    std::vector<std::string_view> fields;
    for (auto d = split.empty() ? line.npos : line.find(split); d != line.npos;
         d = line.find(split)) {
        fields.push_back(line.substr(0, d));
        line.remove_prefix(d + split.size());
    }
    fields.push_back(line);
    return fields;
}

// Plain mode by hand, over the field numbers the engine parsed: a field the line
// lacks is empty, and any blank value skips the line when the rule is on.
std::optional<std::string> refPlain(const std::vector<std::int16_t>& fieldnum,
                                    std::string_view line, std::string_view split,
                                    std::string_view join, bool skip) {
    const auto fields = refFields(line, split);
    std::string out;
    bool complete = true;
    for (std::size_t k = 0; k < fieldnum.size(); ++k) {
        auto num = fieldnum[k];
        std::string_view v = num >= 1 && std::size_t(num) <= fields.size() ? fields[num - 1] : "";
        if (refTrim(v).empty()) complete = false;
        if (k > 0) out.append(join);
        out.append(v);
    }
    if (skip && !complete) return std::nullopt;
    return out;
}

// One line through Ripper::splitline; nullopt when nothing was emitted.
// `fieldnum` receives the field numbers the rip parsed.
std::optional<std::string> ripOne(std::string_view line, const Settings& settings,
                                  std::vector<std::int16_t>* fieldnum = nullptr) {
    test::Rig rig;
    rig.host.current = settings;
    rig.prepare();
    check(!rig.ripper.splitline(line, 1), "splitline into the list never fails");
    check(rig.store.size() == std::size_t(rig.state.Ripcount), "emitted lines are counted");
    check(rig.store.size() <= 1, "one line gives at most one result");
    if (fieldnum) *fieldnum = rig.state.Fieldnum;
    if (rig.store.empty()) return std::nullopt;
    return std::string(rig.store.at(0));
}

void checkLine(std::string_view line, const std::string& split, const std::string& join,
               const std::string& list, const std::string& templ, bool skip) {
    check(Countvalue(line, split) == refCount(line, split), "Countvalue counts like the reference");
    const std::int64_t n = refCount(line, split) + 1;
    const bool bracketFree =
        line.find_first_of("[]") == line.npos && split.find_first_of("[]") == split.npos;
    const std::string_view last = refFields(line, split).back();
    // (a) Every field, joined by the split string, is the line again; (b) so is
    // the template "[1]" split "[2]" ... "[n]" while no bracket can form a new
    // placeholder and the last field, which goes in trimmed, has no edge spaces.
    if (n <= 32767) {
        std::string all, whole;
        for (std::int64_t i = 1; i <= n; ++i) {
            all += (i > 1 ? "," : "") + std::to_string(i);
            whole += (i > 1 ? split : "") + "[" + std::to_string(i) + "]";
        }
        Settings s{.split = split, .join = split, .fields = all};
        check(ripOne(line, s) == std::string(line), "(a) all fields give the line back");
        s.fields = whole;
        s.smart = true;
        if (bracketFree && refTrim(last) == last) {
            check(ripOne(line, s) == std::string(line), "(b) full template gives the line");
        }
    }
    // (c) Both modes agree with the step-by-step references, skip rule included.
    Settings s{.split = split, .join = join, .fields = list, .skipEmpty = skip};
    std::vector<std::int16_t> fieldnum;
    auto plain = ripOne(line, s, &fieldnum);
    check(plain == refPlain(fieldnum, line, split, join, skip), "(c) plain mode");
    s.fields = templ;
    s.smart = true;
    check(ripOne(line, s) == refTemplate(templ, line, split, skip), "(c) template mode");
}

// Appends to a string in memory; takes `budget` bytes, then fails like a full disk.
struct MemoryOpener : OutputOpener {
    std::string file = "earlier\n";
    std::vector<std::optional<std::size_t>> budgets;
    std::size_t opens = 0;

    struct MemoryWriter : Writer {
        std::string& file;
        std::size_t base;
        std::optional<std::size_t> budget;
        MemoryWriter(std::string& f, std::optional<std::size_t> b)
            : file(f), base(f.size()), budget(b) {}
        IoResult write(std::string_view data) override {
            std::size_t n = budget ? std::min(*budget, data.size()) : data.size();
            if (n == 0 && !data.empty()) return IoResult{0, 28, "No space left on device"};
            file.append(data.substr(0, n));
            if (budget) *budget -= n;
            return IoResult{n, 0, {}};
        }
        void truncate(std::uint64_t bytes) override { file.resize(base + bytes); }
    };
    Expected<std::unique_ptr<Writer>> openAppend(const std::string&) override {
        auto budget = opens < budgets.size() ? budgets[opens] : std::nullopt;
        ++opens;
        return std::unique_ptr<Writer>(std::make_unique<MemoryWriter>(file, budget));
    }
};

// Whatever the disk takes, the output file keeps what it held before, ends on a
// whole line, and holds exactly Ripcount result lines; a run that could not
// write them all says so. The source is `copies` copies of the text, each ended
// by LF; every line comes out 64 times over, so a few KiB of source are enough
// to fill the output buffer and make failures hit the flushes made mid-run.
void checkOutputFile(const std::string& text, std::size_t copies, std::uint16_t cut1,
                     std::optional<std::uint16_t> cut2) {
    constexpr int kTimes = 64;
    std::string source, one, fields = "1";
    for (std::size_t r = 0; r < copies; ++r) source += text + "\n";
    for (const auto& line : test::referenceLines(text + "\n")) {
        if (line.empty()) continue;
        for (int i = 0; i < kTimes; ++i) one += line;
        one += "\r\n";
    }
    for (int i = 1; i < kTimes; ++i) fields += ",1";
    MemoryOpener opener;
    auto budget = [&](std::uint16_t cut) { return copies * one.size() * cut / 65535; };
    opener.budgets = {budget(cut1)};
    if (cut2) opener.budgets.push_back(budget(*cut2));

    test::Rig rig("\r\n", &opener);
    rig.host.current = {.split = "", .join = "", .fields = fields, .toFile = true};
    rig.state.Outfile = "out";
    test::StringSource bytes(source);
    RunResult result = rig.run(bytes);

    std::string expected;
    std::size_t lines = 0;
    while (lines < std::size_t(rig.state.Ripcount) && expected.size() < copies * one.size()) {
        std::size_t at = expected.size() % one.size();
        std::size_t end = one.find("\r\n", at) + 2;
        expected.append(one, at, end - at);
        ++lines;
    }
    check(lines == std::size_t(rig.state.Ripcount), "Ripcount never exceeds the lines");
    check(opener.file == "earlier\n" + expected,
          "the file holds earlier content and exactly Ripcount whole lines");
    check(bool(result.error) == (expected.size() < copies * one.size()),
          "a run stops with an error exactly when lines are missing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // Numbers come from the input's end, strings from its start; the rest is
    // the source text. One input in eight is copied to some 5 KiB, enough for
    // its result lines to pass the output buffer's size.
    const bool big = in.ConsumeIntegralInRange<int>(0, 7) == 7;
    const std::uint16_t cut1 = in.ConsumeIntegral<std::uint16_t>();
    const bool retryFails = in.ConsumeBool();
    const std::uint16_t cut2 = in.ConsumeIntegral<std::uint16_t>();
    const bool skip = in.ConsumeBool();
    const std::size_t block = in.ConsumeIntegralInRange<std::size_t>(1, 80);
    const std::size_t chunk = in.ConsumeIntegralInRange<std::size_t>(1, 80);
    const std::uint16_t failAt = in.ConsumeIntegral<std::uint16_t>();
    const std::string split = in.ConsumeRandomLengthString(4);
    const std::string join = in.ConsumeRandomLengthString(3);
    const std::string list = in.ConsumeRandomLengthString(12);
    const std::string templ = in.ConsumeRandomLengthString(24);
    const std::string text = in.ConsumeRemainingBytesAsString();
    const auto want = test::referenceLines(text);

    // LineReader gives the reference's lines for any block size and any way the
    // bytes arrive; with a read failure, a prefix of them and the failure.
    for (bool fail : {false, true}) {
        if (fail && text.empty()) break;
        test::StringSource source(text, chunk,
                                  fail ? std::optional(failAt % text.size()) : std::nullopt);
        LineReader reader(source, block);
        std::size_t got = 0;
        while (auto line = reader.next()) {
            check(got < want.size() && *line == want[got], "LineReader line matches the reference");
            ++got;
        }
        check(fail ? bool(reader.failure()) : !reader.failure() && got == want.size(),
              "LineReader reads every line, or reports the failure");
        check(reader.lineNumber() == std::int64_t(got), "LineReader counts its lines");
    }

    // The result list returns every item exactly, empty ones included.
    ResultStore store;
    for (const auto& line : want) store.append(line);
    check(store.size() == want.size(), "ResultStore keeps every item");
    for (std::size_t i = 0; i < want.size(); ++i) check(store.at(i) == want[i], "ResultStore item");

    for (const auto& line : want) {
        if (!line.empty()) checkLine(line, split, join, list, templ, skip);
    }
    checkOutputFile(text, big ? 5120 / (text.size() + 1) + 1 : 1, cut1,
                    retryFails ? std::optional(cut2) : std::nullopt);
    return 0;
}
