// gen_quoted: writes the quoted benchmark's data, the same bytes on every
// machine. Usage: gen_quoted OUTPUT [RECORDS]   (RECORDS defaults to 2,000,000,
// about 230 MB, after a header line).
#include "genfile.h"
#include "quoteddata.h"

int main(int argc, char** argv) {
    kolvane::bench::QuotedRecords gen;
    return kolvane::bench::generateFile(argc, argv, "gen_quoted", "record", 2'000'000,
                                        kolvane::bench::QuotedRecords::appendHeader,
                                        [&](std::string& out) { gen.append(out); });
}
