// gen_reference: writes the benchmark's reference data, the same bytes on every
// machine. Usage: gen_reference OUTPUT [LINES]   (LINES defaults to 2,000,000,
// about 196 MB; 11,000,000 lines make a little over 1 GiB).
#include "genfile.h"
#include "refdata.h"

int main(int argc, char** argv) {
    kolvane::bench::ReferenceLines gen;
    return kolvane::bench::generateFile(argc, argv, "gen_reference", "line", 2'000'000, {},
                                        [&](std::string& out) { gen.append(out); });
}
