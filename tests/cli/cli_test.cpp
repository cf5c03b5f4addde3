// The real kolvane-rip, run by a shell in a temporary folder as scripts run it.
// Each row of the first table runs with its source given as a file, as "-", on
// standard input and through a pipe, which must all give the same outcome.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "testutil.h"

namespace kolvane {
namespace {

using namespace std::string_literals;

struct CliCase {
    const char* name;
    std::string script;  // options for the first table, a shell script with $R for the second
    std::string input, out;
    std::string err;  // for a usage error (exit 2) only a part of standard error
    int code;
};

// Runs `script` in a fresh folder holding in.txt, with $R naming kolvane-rip,
// and checks what it writes to standard output and error, and its exit code.
void expectOutcome(const CliCase& c, const std::string& script) {
    test::TempDir dir;
    test::writeFile(dir.path("in.txt"), c.input);
    const std::string command = "cd '" + dir.root.string() + "' && R='" KOLVANE_RIP "' && { " +
                                script + "; } >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    const std::string err = test::readFile(dir.path("err.txt"));
    EXPECT_EQ(test::readFile(dir.path("out.txt")), c.out) << script;
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.code) << script;
    EXPECT_TRUE(c.code == 2 ? err.find(c.err) != err.npos : err == c.err) << script << ": " << err;
}

class Rows : public testing::TestWithParam<CliCase> {};

TEST_P(Rows, SameFromFileStdinAndPipe) {
    const std::string rip = "$R " + GetParam().script;
    for (const auto& way :
         {rip + " in.txt", rip + " - <in.txt", rip + " <in.txt", "cat in.txt | " + rip}) {
        expectOutcome(GetParam(), way);
    }
}

const std::string kEntry = "\": a field is a whole number from 1 to 32767, or a range";
// clang-format off
const CliCase kRows[] = {
    {"Fields", "--fields 4,2,2", "a|b|c|d\nw|x|y|z\n", "d:b:b\nz:x:x\n", "", 0},
    {"SplitAndJoin", "-s :: -j ' - ' -f 3,1", "a::b::c\n", "c - a\n", "", 0},
    {"Template", "-t '[2]-[1]'", "a|b|c\n", "b-a\n", "", 0},
    {"SkipEmpty", "-k -f 2", "a||c\nx|y|z\na| |c\n", "y\n", "", 0},
    {"CrlfOnAsk", "--eol crlf -f 2", "a|1\r\nb|2\rc|3\nd|4", "1\r\n2\r\n3\r\n4\r\n", "", 0},
    {"Bytes", "-f 2,1", "\xe9|\0\xff\n"s, "\0\xff:\xe9\n"s, "", 0},
    {"EmptyInputCount", "--count -f 1", "", "", "0 values ripped\n", 0},
    {"RangesAndEmptyEntry", "-f ' 3- , -2 ,,2-2'", "a|b|c|d\n", "c:d:a:b::b\n", "", 0},
    {"EmptyAfterEquals", "--join= --split=, -f 2,1", "a,b\n", "ba\n", "", 0},
    {"LastValueAndOtherNames", "-s x -d , -j - --output-delimiter + -f 1 -f 2,1", "a,b\n", "b+a\n", "", 0},
    {"TabAndBackslashOnly", "-s '\\t' -j '\\\\\\n' -f 2,1", "a\tb\n", "b\\\\na\n", "", 0},
    {"Threads", "--threads 3 --count -k -f 2,1", "a|1\r\nb|\rc|3", "1:a\n3:c\n", "2 values ripped\n", 0},
    {"BadThreads", "--threads 0 -f 1", "a\n", "", "--threads", 2},
    {"FieldsAndTemplate", "-f 1 -t '[1]'", "a\n", "", "--fields excludes --template", 2},
    {"NoFieldList", "-k", "a\n", "", "no fields to keep", 2},
    {"EmptyFieldList", "-f ' '", "a\n", "", "the field list is empty", 2},
    // The grammar's other refusals are the engine's rows; here, that one is a usage error.
    {"NotANumber", "-f 1,email", "a\n", "", "entry \"email" + kEntry, 2},
    {"BadEol", "--eol cr -f 1", "a\n", "", "--eol", 2},
    {"UnknownOptionNamedAlone", "--bogus -f 1", "a\n", "", "unknown option --bogus\nRun kolvane-rip --help", 2},
    {"EmptyAppendName", "-f 1 --append= --eol=lf", "a\n", "", "-a/--append needs a file name", 2},
    // Quoted fields, as Python's csv reads them: a split string or a line end
    // inside quotes is the value's; values that need it are quoted again.
    {"CsvQuotedFields", "--csv -f 3,2", "1,\"Berg, Anna\",a@x\r\n2,\"say \"\"hi\"\"\",b\n3,\"two\nlines\",c\n4,12\" tv,d\n", "a@x,\"Berg, Anna\"\nb,\"say \"\"hi\"\"\"\nc,\"two\nlines\"\nd,\"12\"\" tv\"\n", "", 0},
    {"QuotedTemplateAndSkip", "-q -s '|' -k -t '[1] <[2]>'", "\"\"|a\n\" x|y \"|b\n", " x|y  <b>\n", "", 0},
    {"QuoteOutputAlwaysAndNever", "--csv --quote-output always -f 2,1 --threads 3", "a,\"b,c\"\n", "\"b,c\",\"a\"\n", "", 0},
    {"QuotedHeaderNames", "--csv -H -f '\"Date, local\",id'", "\"id\",\"Date, local\"\r\n1,\"2020, x\"\r\n", "\"Date, local\",id\n\"2020, x\",1\n", "", 0},
    {"HeaderNamesRippedFirst", "-H -s , -f 'b c',1", "a,b c\r\n1,2\r\n", "b c:a\n2:1\n", "", 0},
    {"SkipHeaderTemplate", "--skip-header -t '[b]/[1]' --threads 2", "a|b\n1|2\n3|4\n", "2/1\n4/3\n", "", 0},
    {"HeaderAfterAMark", "-H -f b,a", "\xef\xbb\xbf" "a|b\n1|2\n", "b:a\n2:1\n", "", 0},
    // The header is the first record: a quoted name may hold a line end. Once
    // only its first line was taken, and the rest ripped as data.
    {"SkipHeaderOverLines", "--csv --skip-header -f 1", "id,\"a\nb\"\n1,2\n", "1\n", "", 0},
    {"HeaderNameOverLines", "--csv -H -f '\"a\nb\"'", "id,\"a\nb\"\r\n1,2\r\n", "\"a\nb\"\n2\n", "", 0},
    {"UnknownName", "-H -f a,c", "a|b\n1|2\n", "", "no field is named \"c\"; the header's names are: a, b", 2},
    // A header of one field, for want of the split string, is said to be so.
    {"SplitAbsentFromHeader", "-H -f email,name", "id;name;email\n1;a;b\n", "", "kolvane-rip: the split string '|' does not occur in the first line; try --guess\n", 2},
    // Every result empty: one warning naming the cause, the status unchanged.
    {"EveryResultEmpty", "-f 3,2", "a,b,c\nd,e,f\n", ":\n:\n", "kolvane-rip: warning: every result is empty: the split string '|' occurs in none of the first lines\n", 0},
    // --auto: the guess fills what the options leave open, and says so when asked.
    {"AutoGuessesSplitAndNames", "--auto -v -f email,id", "id,name,email\n1,\"Berg, Anna\",a@x\n2,Ben,b@x\n", "email,id\na@x,1\nb@x,2\n", "kolvane-rip: guessed -s ',' --quoted --header\n", 0},
    {"AutoUnderGivenOptions", "--auto -j ';' --skip-header -f 3,1", "id,name,email\n1,Anna,a@x\n", "a@x;1\n", "", 0},
    {"Cp1252", "--encoding cp1252 -f 2,1", "x|\x80\n", "\u20ac:x\n", "", 0},
    // Quotes as split string: -f 1-, -f 1,2,3 and a template once read them three ways.
    {"QuoteSplitInQuotedMode", "-q -s '\"' -f 1-", "\"a\",\"b\"\n", "", "in quoted mode the split string cannot hold a double quote", 2},
    {"QuoteOutputOnlyInQuotedMode", "--quote-output always -f 1", "a\n", "", "--quote-output needs quoted mode (-q or --csv)", 2},
    {"UnknownEncoding", "--encoding no-such-code -f 1", "a\n", "", "unknown encoding \"no-such-code\"", 2},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(KolvaneRip, Rows, testing::ValuesIn(kRows), test::rowName);

class Scripts : public testing::TestWithParam<CliCase> {};

TEST_P(Scripts, Run) {
    expectOutcome(GetParam(), GetParam().script);
}

// Runs `command` and fails the script when in.txt changed, so a row can
// expect its exit code only while the source is intact.
std::string untouched(const std::string& command) {
    return "cp in.txt keep && " + command + "; s=$? && cmp -s in.txt keep && exit $s";
}
// Starts a rip of a FIFO that gets two lines and then nothing, and once the
// rip has its signal handlers, sends it SIGNAL.
std::string stopWhileWaiting(const std::string& options, const std::string& signal) {
    return "mkfifo p && { $R " + options + " -f 2 -a o p 2>e & } && pid=$! && exec 3>p && " +
           "printf 'a|1\\nb|2\\n' >&3 && " +
           "until grep -q 'SigCgt:.*[2367abef]$' /proc/$pid/status || ! kill -0 $pid; do :; done; "
           "kill -" +
           signal + " $pid; wait $pid; echo $?; [ -z \"$(tail -c1 o)\" ] && echo whole; " +
           "grep -c 'kolvane-rip: [a-z]*, after [0-9]* values ripped' e";
}
// Starts `start` (a kolvane-rip in the background), waits until one of its
// threads sleeps at `waitPoint` in the kernel (two seconds at most), sends it
// SIGTERM, and prints its exit code, or "hung" when it is still running a
// second later. Its standard error goes to e, counts written as N.
std::string stopWhileBlocked(const std::string& start, const std::string& waitPoint) {
    return start + " pid=$! && timeout 2 sh -c 'until grep -qs -e " + waitPoint +
           " /proc/'$pid'/task/*/wchan; do :; done'; kill -TERM $pid; "
           "timeout 1.5 tail -s 0.05 --pid=$pid -f /dev/null || { echo hung; kill -KILL $pid; }; "
           "wait $pid; echo $?; sed 's/[0-9][0-9]* values/N values/' e";
}
const std::string kTerminated = "143\nkolvane-rip: terminated, after N values ripped\n";
// Results of many lengths, so that the output's batches end anywhere in the
// pipe's pages; the default thread count and one thread write differently.
std::string unreadPipe(const std::string& threads) {
    return "seq 2000000 | sed 's/$/|b/' >big && mkfifo w && { $R " + threads +
           " -f 1 big >w 2>e & } && exec 3<w &&";
}
const std::string kFull = " at line 1: No space left on device\n";
// Rips FILES in one run and in N parts for N of 1, 2, 3, 7 and 64, and says
// "same" for each N whose parts, written in order, are the one run's output,
// their counts adding up to its count.
std::string partsAreWhole(const std::string& options, const std::string& files = "in.txt") {
    const std::string rip = "$R " + options + " --count ";
    return "for n in 1 2 3 7 64; do for k in $(seq $n); do " + rip + "--part $k/$n " + files +
           " || echo failed; done >p 2>c; " + rip + files +
           " >w 2>d && cmp -s w p && "
           "[ $(awk '{ n += $1 } END { print n }' c) -eq $(cut -d' ' -f1 d) ] && echo same; done";
}
const std::string kSame5 = "same\nsame\nsame\nsame\nsame\n";
// A quoted export whose header and values hold the split string, quotes and
// CR, LF and CR LF line ends, so that parts' edges fall everywhere in them.
std::string quotedExport() {
    std::string text = "id,\"note,\r\nlong\",city\r\n";
    for (int i = 1; i <= 300; ++i) {
        text += std::to_string(i) + (i % 3 ? ",\"a \"\"b\"\"\nc,\rd\"" : ",plain") + ",c\xC3\xA9" +
                std::to_string(i % 7) + (i % 2 ? "\r\n" : "\n");
    }
    return text;
}
const std::string kCannotCut = "--part cannot cut ";
const std::string kSame = "the output ";
// clang-format off
const CliCase kScripts[] = {
    {"MissingSource", "$R -f 1 missing.txt", "", "", "kolvane-rip: Cannot open missing.txt: No such file or directory\n", 1},
    {"DiskFull", "$R --count -f 1 -a /dev/full in.txt", "a\n", "", "0 values ripped\nkolvane-rip: Cannot write /dev/full" + kFull, 1},
    {"StdoutFull", "$R -f 1 in.txt >/dev/full", "a\n", "", "kolvane-rip: Cannot write standard output" + kFull, 1},
    // Far more than a pipe holds: the rip meets the closed pipe and ends quietly.
    {"ClosedPipe", "{ yes 'a|b' | head -n 400000 | $R -f 2; echo $? >&2; } | head -n 1", "", "b\n", "0\n", 0},
    // Many blocks ripped at once still come out in the source's order.
    {"ThreadsKeepOrder", "seq 1000000 | sed 's/^/x|/' >big && $R --threads 4 -f 2 big >o && seq 1000000 | cmp - o && echo same",
     "", "same\n", "", 0},
    {"ThreadsDiskFull", "$R --threads 4 --count -f 1 -a /dev/full in.txt", "a\n", "", "0 values ripped\nkolvane-rip: Cannot write /dev/full" + kFull, 1},
    {"ThreadsClosedPipe", "{ yes 'a|b' | head -n 400000 | $R --threads 4 -f 2; echo $? >&2; } | head -n 1", "", "b\n", "0\n", 0},
    {"AppendKeepsWhatIsThere", "printf 'kept\\n' >o && $R -f 2 --eol crlf -a o in.txt && $R -f 1 -a o in.txt && cat o",
     "a|1\nb|2\n", "kept\n1\r\n2\r\na\nb\n", "", 0},
    {"BadAppendPathWithoutInput", "$R -f 1 -a no/o </dev/null", "", "", "kolvane-rip: Cannot open no/o: No such file or directory\n", 1},
    // An unterminated last line stays a line of its own; the count covers all.
    {"SeveralSources", "printf 'x|y' >b && $R --count -f 2 in.txt - b <in.txt", "a|1\nb|2", "1\n2\n1\n2\ny\n", "5 values ripped\n", 0},
    {"ErrorNamesFileAndLineAndStops", "mkdir d && $R -f 2 in.txt - in.txt <d", "a|1\nb|2\n", "1\n2\n",
     "kolvane-rip: Cannot read standard input at line 1: Is a directory\n", 1},
    {"AppendToSource", untouched("$R -f 1 -a in.txt in.txt"), "a\n", "", kSame + "in.txt is the same file as the source in.txt;", 2},
    {"AppendToLaterSource", untouched("cp in.txt b && $R -f 1 -a in.txt b in.txt"), "a\n", "", kSame + "in.txt is the same file as the source in.txt;", 2},
    {"SymlinkToSource", untouched("ln -s in.txt l && $R -f 1 -a l in.txt"), "a\n", "", kSame + "l is the same file as the source in.txt;", 2},
    {"HardLinkOnStdin", untouched("ln in.txt h && $R -f 1 -a in.txt <h"), "a\n", "", kSame + "in.txt is the same file as the source standard input;", 2},
    {"StdoutToSource", untouched("$R -f 1 in.txt >>in.txt"), "a\n", "", kSame + "standard output is the same file as the source in.txt;", 2},
    // procfs files say they are empty and still hold lines.
    {"ProcFile", "$R -s : -f 1 /proc/self/status | head -n 1", "", "Name\n", "", 0},
    {"DevNullIsNoSource", "$R -f 1 -a /dev/null /dev/null && $R -f 1 -a /dev/null </dev/null && echo ok", "", "ok\n", "", 0},
    // With standard error closed, an output file opened later must not receive the message.
    {"ClosedStderr", "$R -f 1 -a o missing.txt 2>&-; echo $? && cat o", "", "1\n", "", 0},
    // The limit (512-byte blocks in sh) cuts a line; the output still ends on the last whole one.
    {"FileSizeLimit", "seq 1000000001 1000000200 >n && (ulimit -f 1; $R -f 1 -a o n); echo $? && wc -c <o", "",
     "1\n506\n", "kolvane-rip: Cannot write o at line 47: File too large\n", 0},
    // The limit on standard output: a retry must not close descriptor 1 and write to it.
    {"StdoutFileSizeLimit", "seq 1000000001 1000000200 >n && (ulimit -f 1; $R -f 1 n >o); echo $? && wc -c <o", "",
     "1\n506\n", "kolvane-rip: Cannot write standard output at line 47: File too large\n", 0},
    // A source that becomes the output during the run (a link made while the
    // FIFO before it is read) is refused when it is opened; the results before stay.
    {"LaterSourceLinkedDuringRun", "printf 'a|b\\n' >o && mkfifo f && { $R -f 1,2 -a o f late & } && pid=$! && "
     "exec 3>f && ln o late && printf 'p|q\\n' >&3 && exec 3>&- && wait $pid; echo $? && cat o", "", "2\na|b\np:q\n",
     "kolvane-rip: the output o is the same file as the source late; stopped before it, after 1 values ripped\n", 0},
    {"NamesAfterDoubleDashAreFiles", "$R -f 1,2 -- --join=", "", "", "kolvane-rip: Cannot open --join=: No such file or directory\n", 1},
    // Reopening a FIFO whose reader left would wait for a new reader for ever.
    {"FifoReaderGoesAway", "yes 'a|b' | head -n 400000 >big && mkfifo f && { head -c 1 f >/dev/null & } && $R -f 1 -a f big; echo $?",
     "", "0\n", "", 0},
    {"NonBlockingStdout", "yes 'a|b' | head -n 400000 >big && perl -MFcntl -e 'fcntl(STDOUT, F_SETFL, fcntl(STDOUT, F_GETFL, 0) | O_NONBLOCK); exec @ARGV' $R -f 2 big | wc -l",
     "", "400000\n", "", 0},
    // A stop while the rip waits for input: whole lines, the message, 128 + the signal.
    {"InterruptedWhileWaiting", stopWhileWaiting("--threads 1", "INT"), "", "130\nwhole\n1\n", "", 0},
    {"TerminatedWhileWaitingThreads", stopWhileWaiting("--threads 3", "TERM"), "", "143\nwhole\n1\n", "", 0},
    // A stop while the rip waits for another process, in a call that would wait for ever.
    // A line that never ends is asked about every few MiB: a stop ends it at
    // once, not at the line limit, gigabytes later.
    {"StopDuringEndlessLine", "{ $R -f 1 /dev/zero 2>e & } && pid=$! && timeout 5 sh -c 'until [ \"$(awk \"/rchar/{print \\$2}\" /proc/'$pid'/io)\" -gt 50000000 ] 2>/dev/null; do :; done'; "
     "kill -TERM $pid; timeout 1.5 tail -s 0.05 --pid=$pid -f /dev/null || { echo hung; kill -KILL $pid; }; wait $pid; echo $?; sed 's/[0-9][0-9]* values/N values/' e",
     "", kTerminated, "", 0},
    // Too little address space for the threads asked for: a clear error or
    // fewer threads, never an abort (a sanitizer's build reserves more than
    // the limit allows, and is left out).
    {"SmallAddressSpace", "seq 300000 | sed 's/^/x|/' >big && if ldd $R | grep -q libasan; then echo 1; else "
     "(ulimit -v 40000; $R --threads 7 -f 2 big >o 2>e; s=$?; [ $s -eq 0 ] && seq 300000 | cmp -s - o && echo 1; "
     "[ $s -eq 1 ] && grep -c '^kolvane-rip: Cannot rip big at line [0-9]*: Cannot allocate memory$' e); fi",
     "", "1\n", "", 0},
    {"StopOpeningFifoSource", stopWhileBlocked("mkfifo p && { $R -f 1 p 2>e & } &&", "wait_for_partner"), "", kTerminated, "", 0},
    {"StopOpeningFifoOutput", stopWhileBlocked("mkfifo p && { $R -f 1 -a p in.txt 2>e & } &&", "wait_for_partner"), "", kTerminated, "", 0},
    {"StopWritingUnreadPipe", stopWhileBlocked(unreadPipe(""), "poll -e pipe_write") + "; [ -z \"$(tail -c1 <&3)\" ] && echo whole",
     "", "143\nkolvane-rip: terminated, after N values ripped\nwhole\n", "", 0},
    {"StopWritingUnreadPipeOneThread", stopWhileBlocked(unreadPipe("--threads 1"), "poll -e pipe_write") + "; [ -z \"$(tail -c1 <&3)\" ] && echo whole",
     "", "143\nkolvane-rip: terminated, after N values ripped\nwhole\n", "", 0},
    // Parts of sources, each ripped on its own, are the one run's rip, with
    // every option (--auto guessing from the first source's start), line end
    // and encoding, whatever their number.
    {"PartsQuotedHeader", partsAreWhole("--csv -H -f city,id"), quotedExport(), kSame5, "", 0},
    {"PartsSkipHeaderTemplateSkipEmpty", partsAreWhole("--csv --skip-header -k -t '[city]/[2]'"), quotedExport(), kSame5, "", 0},
    // Edges in the header record, on every byte, and on a last record without a line end.
    {"PartsTinyFileHeader", partsAreWhole("--csv -H -f city,id"), "id,\"a\r\nb\",city\r\n1,\"x\ny\",c\r\n2,b,d", kSame5, "", 0},
    {"PartsTinyFileSkipHeader", partsAreWhole("--csv --skip-header -f 3,1"), "id,\"a\r\nb\",city\r\n1,\"x\ny\",c\r\n2,b,d", kSame5, "", 0},
    {"PartsPlainLineEnds", "for i in $(seq 99); do cat in.txt; done >m && " + partsAreWhole("-f 2,1", "m"), "a|1\r\nb|2\rc|3\n\r\n", kSame5, "", 0},
    {"PartsUtf16", "iconv -f UTF-8 -t UTF-16 in.txt >u && " + partsAreWhole("--csv -H -f city,id", "u"), quotedExport(), kSame5, "", 0},
    {"PartsDeclaredEncoding", "iconv -f UTF-8 -t CP1252 in.txt >w1 && " + partsAreWhole("--encoding cp1252 --csv -f 3,1", "w1"), quotedExport(), kSame5, "", 0},
    {"PartsSeveralSources", "head -c 23 in.txt >b && printf 'x,y,z\\n' >>b && " + partsAreWhole("--auto -f city,id", "in.txt b in.txt"), quotedExport(), kSame5, "", 0},
    // Messages name the line counted from the file's start, as one run's do.
    {"PartErrorsCountFromFileStart", "cp in.txt q && printf '9,\"open\\n' >>q && iconv -f UTF-8 -t CP1252 in.txt >w1 && printf '\\201\\n' >>w1 && "
     "for o in '--csv q' '--encoding cp1252 w1'; do $R -f 1 $o 2>d >/dev/null; for k in 1 2 3; do $R -f 1 --part $k/3 $o; done 2>e >/dev/null; "
     "cmp d e && cat e; done", quotedExport(), "kolvane-rip: Cannot rip q: a quote opened at line 703 is never closed\n"
     "kolvane-rip: Cannot read w1 at line 703: bytes not valid in cp1252 at byte offset 6065\n", "", 0},
    // A CR LF across the count's 64 KiB blocks is one line end.
    {"PartCountsLinesOverBlocks", "{ printf h; yes \"$(printf '\\r')\" | head -n 100000; printf '\\201\\n'; } >w1 && $R --encoding cp1252 -f 1 --part 2/2 w1", "",
     "", "kolvane-rip: Cannot read w1 at line 100001: bytes not valid in cp1252 at byte offset 200001\n", 1},
    // The warning's cause comes from the part's own first records.
    {"PartWarnsOfEmptyResults", "$R -f 9 --part 2/2 in.txt", "a|1\nb|2\n", "\n", "kolvane-rip: warning: every result is empty: no field chosen is among the 2 fields of the first lines\n", 0},
    {"PartOfCompressedSource", "gzip -c in.txt >t.gz && $R -f 1 --part 1/2 t.gz", "a\n", "", kCannotCut + "t.gz: it is compressed (run one job per file instead)", 2},
    {"PartOfStandardInput", "$R -f 1 --part 1/2 <in.txt", "a\n", "", kCannotCut + "standard input: it is no regular file", 2},
    {"PartOfFifo", "mkfifo f && timeout 5 $R -H -f 1 --part 2/2 f", "a\n", "", kCannotCut + "f: it is no regular file", 2},
    {"PartOfMultiByteEncoding", "$R --encoding shift_jis -f 1 --part 1/2 in.txt", "a\n", "", kCannotCut + "in.txt: a character in shift_jis may take more than one byte", 2},
    {"PartNotKOfN", "$R -f 1 --part 3/2 in.txt", "a\n", "", "--part \"3/2\": give K/N, part K of N from 1 to N, e.g. 3/8", 2},
    // The README's recipe for a file too big for one machine, as written there.
    {"GnuParallelRecipe", "cp in.txt big.csv && parallel -k -q $R --threads 1 --part {}/8 --csv -H -f id,city big.csv ::: $(seq 8) > out.csv && "
     "$R --csv -H -f id,city big.csv | cmp - out.csv && echo same", quotedExport(), "same\n", "", 0},
    {"LineCountedPastASkippedHeader", "$R --csv --skip-header -f 1 in.txt", "id,\"a\nb\"\n1,\"x\n", "", "kolvane-rip: Cannot rip in.txt: a quote opened at line 3 is never closed\n", 1},
    // Names are the first source's; a later source's first line is its own
    // header, never ripped.
    {"HeaderOfEachSource", "printf 'a|b\\n3|4\\n' >b && $R -H -f a in.txt b", "a|b\n1|2\n", "a\n1\n3\n", "", 0},
    // A later header that names the fields otherwise stops the run: its
    // fields would be taken by the first one's numbers. Once ripped in silence.
    {"LaterHeaderDiffers", "printf 'b|a\\n3|4\\n' >b && $R -H -f a in.txt b", "a|b\n1|2\n", "a\n1\n", "kolvane-rip: Cannot rip b at line 1: its header differs from the one of in.txt: field 1 is \"b\" here, \"a\" there\n", 1},
    {"LaterHeaderOverLines", "printf 'a,\"x\\ny\"\\n3,4\\n' >b && $R --csv --skip-header -f 1 in.txt b", "a,\"x\ny\"\n1,2\n", "1\n3\n", "", 0},
    // Compressed sources are read as what they hold, whatever their names.
    {"CompressedFileAndStdin", "gzip -c in.txt >z && xz -c in.txt >x.txt && $R -f 2 z - x.txt <z && cp in.txt t.gz && $R -f 1 t.gz && "
     "pzstd -qc in.txt >p && $R -f 2 - <p", "a|1\nb|2\n", "1\n2\n1\n2\n1\n2\na\nb\n1\n2\n", "", 0},
    {"DamagedCompressedSource", "gzip -c in.txt >t.gz && printf 'no gzip member' >>t.gz && $R -f 2 t.gz",
     "a|1\nb|2\n", "1\n2\n", "kolvane-rip: Cannot read t.gz at line 3: the compressed data is damaged\n", 1},
    {"TruncatedCompressedSourceThreads", "seq 200000 | sed 's/^/x|/' | zstd -qc >f && head -c $(($(wc -c <f) / 2)) f >t.zst; "
     "$R --threads 3 -f 2 t.zst >o 2>e; echo $?; n=$(wc -l <o); seq $n | cmp - o && "
     "grep -c \"^kolvane-rip: Cannot read t.zst at line $((n + 1)): the compressed data ends early$\" e", "", "1\n1\n", "", 0},
    // --guess prints the options that rip the source; one source, file or standard input.
    {"Guess", "printf 'id;price\\n1;2,50\\n2;3,75\\n' >s && $R --guess s && $R --guess - <s && $R --guess <s",
     "", "-s ';' --header\n-s ';' --header\n-s ';' --header\n", "", 0},
    {"GuessQuotedTabAndEncoding", "$R --guess in.txt", "\"caf\xe9\tb\"\t1\n\"c\"\t2\n\"d\"\t3\n", "-s '\\t' --quoted --encoding cp1252\n", "", 0},
    // UTF-16 and compressed sources are guessed after decoding, as they are ripped.
    {"GuessUtf16", "printf 'a;b\\n1;2,5\\n3;4,5\\n' | iconv -t UTF-16 >u && $R --guess u", "", "-s ';' --header\n", "", 0},
    {"GuessCompressed", "printf 'id,n\\n1,2.5\\n2,3.5\\n3,4.5\\n' | gzip >z && $R --guess z && zcat z | pzstd -qc | $R --guess",
     "", "-s ',' --header\n-s ',' --header\n", "", 0},
    {"GuessOneColumn", "$R --guess in.txt", "Anna Berg\nLars Li\n", "-s ''\n", "", 0},
    // A close runner-up is named on standard error, so $(... --guess) stays the options.
    {"GuessAlsoPossible", "$R --guess in.txt", "a;b|c\n1;2|3\n4;5|6\n", "-s ';' --header\n", "# also possible: -s '|'\n", 0},
    {"GuessTitleLineNoHeader", "$R --guess in.txt", "Report 2024\nid,amount\n1,2.5\n2,3.5\n", "-s ','\n", "", 0},
    {"GuessBinary", "head -c 3000 /bin/sh | $R --guess -", "", "",
     "kolvane-rip: Cannot guess the format of standard input: it holds binary data, not text\n", 1},
    {"GuessMissing", "$R --guess nothere", "", "", "kolvane-rip: Cannot open nothere: No such file or directory\n", 1},
    {"GuessOneFileOnly", "$R --guess in.txt in.txt", "a\n", "", "--guess takes one file", 2},
    {"GuessAndFields", "$R --guess -f 1 in.txt", "a\n", "", "--fields excludes --guess", 2},
    {"Help", "$R --help | grep -c -e ' -f 2,4 ' -e \" -t '\" -e \" -s '\\\\\\\\t'\" -e '^  [012]  ' -e '--auto -f'", "", "8\n", "", 0},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(KolvaneRip, Scripts, testing::ValuesIn(kScripts), test::rowName);

}  // namespace
}  // namespace kolvane
