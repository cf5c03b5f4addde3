// gen_shape: writes one shape of the quoted benchmark's family, the same
// bytes on every machine. Usage: gen_shape SHAPE OUTPUT [RECORDS] (RECORDS
// defaults to 2,000,000); `gen_shape --list` names the shapes.
#include <cstdio>
#include <cstring>

#include "genfile.h"
#include "shapes.h"

int main(int argc, char** argv) {
    using namespace kolvane::bench;
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const Shape& shape : shapes())
            std::printf("%.*s\n", int(shape.name.size()), shape.name.data());
        return 0;
    }
    const Shape* shape = argc >= 2 ? findShape(argv[1]) : nullptr;
    if (shape == nullptr) {
        std::fprintf(stderr, "usage: gen_shape SHAPE OUTPUT [RECORDS]; gen_shape --list\n");
        return 2;
    }
    ShapeRecords gen(*shape);
    return generateFile(
        argc - 1, argv + 1, "gen_shape", "record", 2'000'000,
        [&](std::string& out) { gen.appendHeader(out); },
        [&](std::string& out) { gen.append(out); });
}
