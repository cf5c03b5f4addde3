#include "options.h"

#include "frontrules.h"
#include "parallelrip.h"
#include "textsource.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <sstream>

namespace kolvane::cli {

namespace {

constexpr const char* kFooter = R"(Examples:
  kolvane-rip -f 2,4 -a out.txt data.txt       fields 2 and 4 joined by ":", added to out.txt
  kolvane-rip -t '[4] lives in [2]' data.txt   a template: field 4, the text, field 2
  kolvane-rip -s '\t' -f 1,3- -j , data.tsv    a tab-separated file: fields 1 and 3 on, by ","
  kolvane-rip --auto -f email,name export.csv  the format guessed from the file, fields by name
  eval "kolvane-rip $(kolvane-rip --guess export.csv) -f 2,4 export.csv"
                                               the guessed options, read back by the shell

Output encoding:
  results are UTF-8 wherever a source is decoded (a UTF-16 or UTF-8
  byte-order mark, or --encoding), else the source's bytes as they are;
  no byte-order mark is written. The window writes by the same rule.

Exit status:
  0  done
  1  the rip stopped on an error: standard error names the file, the line
     and the cause, and what was written before it stays
  2  a usage error, nothing read or written; or the output is a source,
     which is not read)";

// CLI11 reads "--join=" as "--join" and takes the next argument as its value;
// here it is the empty string, for every option that takes a value. After
// "--" every argument is a file name, however it looks.
std::vector<std::string> arguments(const CLI::App& app, int argc, const char* const* argv) {
    std::vector<std::string> args;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i], name = arg.substr(0, arg.size() - 1);
        options = options && arg != "--";
        const CLI::Option* option = options && arg.starts_with("--") && arg.find('=') == name.size()
                                        ? app.get_option_no_throw(std::string(name))
                                        : nullptr;
        const bool givenEmpty = option && option->get_type_size() > 0;
        args.emplace_back(givenEmpty ? name : arg);
        if (givenEmpty) args.emplace_back();
    }
    std::reverse(args.begin(), args.end());  // CLI11 takes them from the back
    return args;
}

// What the options hold as given, before they are checked; those that need
// no check go into `options` directly.
struct Given {
    Given() { options.threads = ParallelRipper::defaultThreads(); }
    Options options;
    std::string split = "|", join = ":", fields, templ, append, eol = "lf", part;
    std::vector<std::string> sources;
    bool header = false, skipHeader = false, guess = false, quoted = false, csv = false;
    std::string quoteOutput = "needed";
};

void addOptions(CLI::App& app, Given& g) {
    // Every option that takes a value: given twice, the last one counts, as in
    // cut; "--name=" gives it the empty string (see arguments()).
    auto value = [&app](const char* names, auto& target, const char* help) {
        return app.add_option(names, target, help)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    };
    value("-s,--split,-d,--delimiter", g.split, "split string between fields; \\t is a tab")
        ->type_name("STR")
        ->capture_default_str();
    auto* fields =
        value("-f,--fields", g.fields, "fields to keep, e.g. 2,4 or 1,3-5,7-")->type_name("LIST");
    auto* templ = value("-t,--template", g.templ, "a template instead, e.g. \"[2]-[1]\"")
                      ->type_name("TEMPLATE")
                      ->excludes(fields);
    value("-j,--join,--output-delimiter", g.join, "new field separator; \\t is a tab")
        ->type_name("STR")
        ->capture_default_str();
    app.add_flag("-k,--skip-empty", g.options.settings.skipEmpty, "skip a line on one empty value");
    app.add_flag("-q,--quoted", g.quoted, "fields may be in double quotes, as CSV has them");
    app.add_flag("--csv", g.csv, "the same as --quoted -s , -j ,");
    value("--quote-output", g.quoteOutput,
          "in quoted mode, quote a value when needed (the default), always or never")
        ->check(CLI::IsMember({"needed", "always", "never"}))
        ->type_name("WHEN");
    app.add_flag("-H,--header", g.header,
                 "the first line holds field names, usable in -f and -t; it is ripped first");
    app.add_flag("--skip-header", g.skipHeader, "as --header, without writing the header's line");
    value("-a,--append", g.append, "append result lines to FILE, not standard output")
        ->type_name("FILE");
    value("--eol", g.eol, "line end written: lf, or crlf as the window writes files")
        ->check(CLI::IsMember({"lf", "crlf"}))
        ->capture_default_str();
    app.add_flag("--count", g.options.count, "print \"N values ripped\" on standard error");
    value("--threads", g.options.threads, "threads to rip with; default: one per core")
        ->type_name("N")
        ->check(CLI::Range(1U, 1024U))
        ->capture_default_str();
    value("--encoding", g.options.encoding, "the sources' encoding, e.g. cp1252 or utf-16le")
        ->type_name("NAME");
    auto* part = value("--part", g.part,
                       "rip only the records that start in the K-th of N equal byte ranges")
                     ->type_name("K/N");
    auto* guess =
        app.add_flag("--guess", g.guess,
                     "print the options that rip FILE, as guessed from its start (for eval)")
            ->excludes(fields)
            ->excludes(templ)
            ->excludes(part);
    app.add_flag("--auto", g.options.autoGuess,
                 "guess the format from the first FILE's start and rip with it; options given "
                 "still count")
        ->excludes(guess);
    app.add_flag("-v,--verbose", g.options.verbose, "say on standard error what --auto guessed");
    app.add_option("FILE", g.sources, "source files, in order; - or none: standard input")
        ->type_name("");
    app.set_version_flag("--version", "kolvane-rip " KOLVANE_VERSION);
}

// "K/N" with 1 <= K <= N <= 2^32, so that a part's range is exact.
std::optional<PartNumber> readPart(std::string_view text) {
    PartNumber part;
    const char* const end = text.data() + text.size();
    const auto k = std::from_chars(text.data(), end, part.index);
    if (k.ec != std::errc{} || k.ptr == end || *k.ptr != '/') return std::nullopt;
    const auto n = std::from_chars(k.ptr + 1, end, part.count);
    if (n.ec != std::errc{} || n.ptr != end || part.index < 1 || part.index > part.count ||
        part.count > (std::uint64_t{1} << 32)) {
        return std::nullopt;
    }
    return part;
}

// The split and join strings and the quoting, or why they cannot be used.
std::optional<std::string> readSplitAndQuoting(const Given& g, const CLI::App& app,
                                               Settings& settings) {
    // --csv is quoted mode with commas, unless -s or -j says otherwise.
    settings.split = readEscapes(g.csv && !app.count("--split") ? "," : g.split);
    settings.join = readEscapes(g.csv && !app.count("--join") ? "," : g.join);
    settings.quoted = g.quoted || g.csv;
    settings.quoteOutput = g.quoteOutput == "always"  ? QuoteOutput::always
                           : g.quoteOutput == "never" ? QuoteOutput::never
                                                      : QuoteOutput::needed;
    if (const auto problem = splitProblem(settings.dialect()); !problem.empty()) {
        return std::string(problem);
    }
    // Plain mode writes values as they are: a way of quoting them asked for
    // there would be ignored, which is a mistake in the call.
    if (app.count("--quote-output") && !settings.quoted && !g.options.autoGuess) {
        return "--quote-output needs quoted mode (-q or --csv)";
    }
    return std::nullopt;
}

std::variant<Options, Exit> checked(Given& g, const CLI::App& app) {
    if (g.guess) {
        if (g.sources.size() > 1) return usage("--guess takes one file");
        Options options;
        options.guess = true;
        options.sources = {g.sources.empty() ? "-" : g.sources.front()};
        return options;
    }
    Options options = std::move(g.options);
    const bool plain = app.count("--fields") > 0;
    if (!plain && !app.count("--template")) {
        return usage("no fields to keep: give a field list (-f 2,4) or a template (-t '[2]-[1]')");
    }
    options.header = g.skipHeader ? Options::Header::skip
                     : g.header   ? Options::Header::keep
                                  : Options::Header::none;
    options.given = {app.count("--split") > 0 || g.csv, app.count("--join") > 0 || g.csv,
                     g.quoted || g.csv, g.header || g.skipHeader, !options.encoding.empty()};
    if (plain) {
        // With --auto the guess may find names, which the list may then use.
        options.fields =
            readFieldEntries(g.fields, FieldReading::strict,
                             options.header != Options::Header::none || options.autoGuess);
        if (!options.fields->problems.empty()) return usage(options.fields->problems.front().why);
    } else if (isBlank(g.templ)) {
        return usage("the template is empty");
    }
    if (app.count("--append")) {
        if (g.append.empty()) return usage("-a/--append needs a file name");
        options.append = g.append;
    }
    if (!options.encoding.empty() && !knownEncoding(options.encoding)) {
        return usage("unknown encoding \"" + options.encoding + "\" (iconv -l lists the names)");
    }
    if (auto problem = readSplitAndQuoting(g, app, options.settings)) return usage(*problem);
    options.settings.templateMode = !plain;
    options.settings.fields = g.templ;
    if (app.count("--part")) {
        options.part = readPart(g.part);
        if (!options.part) {
            return usage("--part \"" + g.part + "\": give K/N, part K of N from 1 to N, e.g. 3/8");
        }
    }
    options.eol = g.eol == "crlf" ? "\r\n" : "\n";
    options.sources = g.sources.empty() ? std::vector<std::string>{"-"} : std::move(g.sources);
    return options;
}

}  // namespace

Exit usage(const std::string& problem) {
    return Exit{2, "kolvane-rip: " + problem + "\nRun kolvane-rip --help for the options.\n"};
}

int failed(std::ostream& err, const Error& error) {
    err << "kolvane-rip: " << error.message() << '\n';
    return 1;
}

std::variant<Options, Exit> parseCommandLine(int argc, const char* const* argv) {
    CLI::App app{"Rips chosen fields out of every line of delimited text files, in order.",
                 "kolvane-rip"};
    app.footer(kFooter);
    app.allow_extras();  // unknown options are named below, never a data file
    Given given;
    addOptions(app, given);
    std::vector<std::string> args = arguments(app, argc, argv);
    try {
        app.parse(args);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() != 0) return usage(e.what());
        std::ostringstream out, err;
        app.exit(e, out, err);
        return Exit{0, out.str()};
    }
    for (const std::string& extra : app.remaining()) {
        if (extra != "--") return usage("unknown option " + extra);
    }
    return checked(given, app);
}

}  // namespace kolvane::cli
