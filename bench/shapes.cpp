#include "shapes.h"

#include <array>

namespace kolvane::bench {

namespace {

constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzeeeaaoinrst";
constexpr std::array<std::string_view, 8> kFirst = {"Anna", "Ben",  "Clara", "David",
                                                    "Emma", "Hugo", "Ida",   "Vera"};
constexpr std::array<std::string_view, 8> kLast = {"Berg",  "Dahl",  "Falk",   "Lund",
                                                   "Olsen", "Rossi", "Tanaka", "Weber"};

}  // namespace

const std::vector<Shape>& shapes() {
    // The share of quoted records first, then doubled quotes and line ends
    // inside quotes, then width and value length; "mixed" is an export with
    // a little of everything and mostly no quotes.
    static const std::vector<Shape> family = {
        {"quoted0", 10, 0},
        {"quoted1", 10, 1},
        {"quoted5", 10, 5},
        {"quoted20", 10, 20},
        {"quoted50", 10, 50},
        {"quoted100", 10, 100},
        {"doubled5", 10, 20, 5},
        {"lineend1", 10, 20, 0, 1},
        {"mixed", 10, 20, 5, 1},
        {"wide40", 40, 20, 1, 1},
        {"short", 10, 20, 1, 1, 1, 8},
        {"long", 5, 20, 1, 1, 200, 260},
    };
    return family;
}

const Shape* findShape(std::string_view name) {
    for (const Shape& shape : shapes()) {
        if (shape.name == name) return &shape;
    }
    return nullptr;
}

void ShapeRecords::appendHeader(std::string& out) const {
    for (int c = 1; c <= shape_.columns; ++c) {
        out.append(c == 1 ? "" : ",").append("c").append(std::to_string(c));
    }
    out.append("\r\n");
}

void ShapeRecords::appendWord(std::string& out, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(kLetters[rng_.below(kLetters.size())]);
}

void ShapeRecords::append(std::string& out) {
    const int span = shape_.longest - shape_.shortest + 1;
    auto length = [&] { return shape_.shortest + int(rng_.below(std::uint64_t(span))); };
    out.append(std::to_string(++id_));
    // Column 2: a name, quoted for its comma in the given share of records.
    if (chance(shape_.quotedPercent)) {
        out.append(",\"").append(kLast[rng_.below(8)]).append(", ");
        out.append(kFirst[rng_.below(8)]).push_back('"');
    } else {
        out.push_back(',');
        appendWord(out, length());
    }
    const bool doubled = chance(shape_.doubledPercent);
    const bool lineEnd = chance(shape_.lineEndPercent);
    for (int c = 3; c <= shape_.columns; ++c) {
        out.push_back(',');
        if (c == shape_.columns - 1 && doubled) {
            out.append("\"27\"\" ");  // a size in inches
            appendWord(out, length());
            out.push_back('"');
        } else if (c == shape_.columns && lineEnd) {
            out.push_back('"');
            appendWord(out, length());
            out.append("\r\n");
            appendWord(out, length());
            out.push_back('"');
        } else {
            appendWord(out, length());
        }
    }
    out.append("\r\n");
}

}  // namespace kolvane::bench
