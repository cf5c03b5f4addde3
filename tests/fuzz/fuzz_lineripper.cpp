// Properties of the rip engine on fuzzer-made lines, split strings, field lists
// and templates. Each check states something that holds for every input and
// aborts when it does not; the sanitizers report memory and arithmetic faults
// on top. The references below are written for clarity, not speed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "blockripper.h"
#include "fieldselect.h"
#include "quotescan.h"
#include "testutil.h"
#include "windowripper.h"

namespace {

using namespace kolvane;
using Result = std::optional<std::string>;

void check(bool ok, const char* property) {
    if (ok) return;
    std::fprintf(stderr, "property violated: %s\n", property);
    std::abort();
}

// The pieces between the split string's occurrences, found left to right.
std::vector<std::string_view> fieldsOf(std::string_view line, std::string_view split) {
    std::vector<std::string_view> fields;
    for (auto d = line.find(split); !split.empty() && d != line.npos; d = line.find(split)) {
        fields.push_back(line.substr(0, d));
        line.remove_prefix(d + split.size());
    }
    fields.push_back(line);
    return fields;
}

std::string_view trim(std::string_view v) {
    while (v.starts_with(' ')) v.remove_prefix(1);
    while (v.ends_with(' ')) v.remove_suffix(1);
    return v;
}

// One line through a rip into the list; nullopt when nothing was emitted. The
// line may hold no line end.
Result ripOne(std::string_view line, const Settings& settings) {
    test::Rig rig;
    rig.current = settings;
    check(!rig.run(std::string(line)).error, "a rip into the list never fails");
    check(rig.store.size() == std::size_t(rig.ripper.ripcount()) && rig.store.size() <= 1,
          "one line gives at most one result, and it is counted");
    return rig.store.empty() ? std::nullopt : Result(rig.store.at(0));
}

void checkLine(std::string_view line, Settings s, const std::string& list,
               const std::string& templ) {
    const auto f = fieldsOf(line, s.split);
    const std::size_t n = f.size();
    check(countSeparators(line, s.split) + 1 == std::ssize(f), "countSeparators counts the fields");
    // Every field joined by the split string is the line again; so is the
    // template "[1]" split "[2]" ... "[n]" while no bracket can form a new
    // placeholder and the last field, which goes in trimmed, has no edge spaces.
    if (n <= 32767) {
        std::string all = "1", whole = "[1]";
        for (std::size_t i = 2; i <= n; ++i) {
            all += "," + std::to_string(i);
            whole += s.split + "[" + std::to_string(i) + "]";
        }
        const Result back{std::string(line)};
        check(ripOne(line, {.split = s.split, .join = s.split, .fields = all}) == back,
              "all fields give the line back");
        if (line.find_first_of("[]") == line.npos && s.split.find_first_of("[]") == s.split.npos &&
            trim(f.back()) == f.back()) {
            check(ripOne(line, {.split = s.split, .fields = whole, .templateMode = true}) == back,
                  "the full template gives the line back");
        }
    }
    // Plain mode over the numbers the list parses to: a field the line lacks is
    // empty, and any blank value skips the line when the rule is on.
    const std::vector<FieldRange> parsed = selectFields(list, FieldReading::lenient, false, nullptr)
                                               .list.value_or(FieldList())
                                               .entries();
    std::string want;
    bool complete = true;
    for (std::size_t k = 0; k < parsed.size(); ++k) {
        const auto num = std::size_t(parsed[k].first);
        std::string_view v = parsed[k].first >= 1 && num <= n ? f[num - 1] : "";
        complete = complete && !trim(v).empty();
        want.append(k > 0 ? s.join : "").append(v);
    }
    s.fields = list;
    check(ripOne(line, s) == (s.skipEmpty && !complete ? Result() : want), "plain mode");
    // Field i replaces every "[i]" in what the earlier fields left, never in what
    // it puts in itself; only the last field is trimmed, and it is never tested.
    want = trim(templ);
    complete = true;
    for (std::size_t i = 1; i <= n && want.find('[') != want.npos; ++i) {
        const std::string ph = "[" + std::to_string(i) + "]";
        std::string_view v = i == n ? trim(f[i - 1]) : f[i - 1];
        if (i < n && trim(v).empty() && want.find(ph) != want.npos) complete = false;
        for (auto p = want.find(ph); p != want.npos; p = want.find(ph, p + v.size())) {
            want.replace(p, ph.size(), v);
        }
    }
    s.fields = templ;
    s.templateMode = true;
    check(ripOne(line, s) == (s.skipEmpty && !complete ? Result() : want), "template mode");
}

// Whatever the disk takes, the output file keeps what it held before, ends on a
// whole line, and holds exactly the count result lines; a run that could not
// write them all says so. Every line comes out 64 times over, so a few KiB of
// source fill the output buffer and failures hit the flushes made mid-run.
void checkOutputFile(const std::string& text, std::size_t copies, std::uint16_t cut1,
                     std::optional<std::uint16_t> cut2) {
    std::string one, source, all, fields = "1", file = "earlier\n";
    for (int i = 1; i < 64; ++i) fields += ",1";
    for (const auto& line : test::referenceLines(text + "\n")) {
        for (int i = 0; i < 64 && !line.empty(); ++i) one += line;
        if (!line.empty()) one += "\r\n";
    }
    for (std::size_t i = 0; i < copies; ++i) {
        source += text + "\n";
        all += one;
    }
    test::Rig rig;
    for (auto cut : {std::optional(cut1), cut2}) {
        if (cut) rig.opener.budgets.push_back(all.size() * *cut / 65535);
    }
    rig.opener.memory = &file;
    rig.current = {.split = "", .join = "", .fields = fields};
    rig.to = {true, "out"};
    RunResult result = rig.run(source);

    std::size_t end = 0;
    for (std::int64_t i = 0; i < rig.ripper.ripcount(); ++i) {
        end = all.find("\r\n", end);
        check(end != all.npos, "the count never exceeds the lines");
        end += 2;
    }
    check(file == "earlier\n" + all.substr(0, end),
          "the file holds earlier content and exactly the count whole lines");
    check(bool(result.error) == (end < all.size()),
          "a run stops with an error exactly when lines are missing");
}

// Four threads on blocks of a few bytes meet every way a line, a record, a
// CR LF and a read failure can fall across blocks, and must still give what
// one thread does, in plain and in quoted mode.
void checkThreads(const std::string& text, std::size_t chunk, std::size_t failAt, Settings s,
                  const std::string& list, const std::string& templ, std::size_t block) {
    for (int way = 0; way < 4; ++way) {
        s.templateMode = way % 2 == 1;
        s.quoted = way >= 2;
        s.fields = s.templateMode ? templ : list;
        const test::FileRip how{.chunk = chunk, .failAt = failAt, .block = block};
        check(test::ripToFile(text, s, 4, how) == test::ripToFile(text, s, 0, how),
              "four threads give what one thread gives");
    }
}

// The word scan of quoted text, in windows ending every `chunk` bytes, makes
// the maps the byte-by-byte reading makes.
void checkScan(const std::string& text, std::string_view split, std::size_t chunk) {
    const std::size_t words = text.size() / 64 + 2;
    std::vector<std::uint64_t> fast(4 * words, ~0ULL), exact(4 * words, ~0ULL);
    auto maps = [&](std::vector<std::uint64_t>& m) {
        return QuotedMapWords{m.data(), m.data() + words, m.data() + 2 * words,
                              m.data() + 3 * words};
    };
    QuoteState state;
    for (std::size_t from = 0; from < text.size(); from += chunk) {
        const std::size_t to = std::min(text.size(), from + chunk);
        state = scanQuoted(text.data(), from, to, text.size(), split, maps(fast), state);
    }
    const QuoteState want =
        scanQuotedExact(text.data(), 0, text.size(), text.size(), split, maps(exact), {});
    check(state == want && fast == exact, "the word scan makes the exact reading's maps");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // Numbers come from the input's end, strings from its start; the rest is
    // the source text. One input in eight is copied to some 5 KiB, enough for
    // its result lines to pass the output buffer's size.
    const bool big = in.ConsumeIntegralInRange<int>(0, 7) == 7;
    const auto cut1 = in.ConsumeIntegral<std::uint16_t>();
    const bool retryFails = in.ConsumeBool();
    const auto cut2 = in.ConsumeIntegral<std::uint16_t>();
    const bool skip = in.ConsumeBool();
    const auto block = in.ConsumeIntegralInRange<std::size_t>(1, 80);
    const auto chunk = in.ConsumeIntegralInRange<std::size_t>(1, 80);
    const auto failAt = in.ConsumeIntegral<std::uint16_t>();
    const Settings s{.split = in.ConsumeRandomLengthString(4),
                     .join = in.ConsumeRandomLengthString(3),
                     .skipEmpty = skip};
    const std::string list = in.ConsumeRandomLengthString(12);
    const std::string templ = in.ConsumeRandomLengthString(24);
    const std::string text = in.ConsumeRemainingBytesAsString();
    const auto want = test::referenceLines(text);

    // Blocks hold the text whole, each cut where a line surely ends, for any
    // block size and any way the bytes arrive; with a read failure, a prefix
    // of the lines and the failure.
    for (bool fail : {false, true}) {
        if (fail && text.empty()) break;
        test::StringSource source(text, chunk, fail ? failAt % text.size() : SIZE_MAX);
        BlockReader reader(source, block, defaultLineLimit(), [] { return true; });
        RipBlock b;
        std::string read;
        bool failed = false;
        while (!failed && reader.read(b)) {
            read.append(b.data, b.size);
            failed = b.failure.has_value();
        }
        const auto lines = test::referenceLines(read);
        check(lines.size() <= want.size() && std::equal(lines.begin(), lines.end(), want.begin()),
              "blocks hold whole lines of the text");
        check(fail ? failed : read == text, "blocks hold the text, or report the failure");
    }

    for (const auto& line : want) {
        if (!line.empty()) checkLine(line, s, list, templ);
    }
    checkThreads(text, chunk, text.empty() ? SIZE_MAX : failAt % (text.size() * 2), s, list, templ,
                 block);
    checkScan(text, s.split, chunk);
    checkOutputFile(text, big ? 5120 / (text.size() + 1) + 1 : 1, cut1,
                    retryFails ? std::optional(cut2) : std::nullopt);
    return 0;
}
