#pragma once

#include <string_view>

namespace kolvane {

// What a value looks like, for telling a table's columns apart: a guess
// trusts a split that gives columns of one kind.
enum class CellKind {
    Empty,   // nothing, or only spaces
    Number,  // 42, -3.5, 1,234.50, 1.234,50, 1 234, 12%, $9.99, 1e-3
    Date,    // 2024-01-31, 31/01/2024, 31.01.24, 12:30:05, 2024-01-31T12:30Z, 9:15 PM
    Text,    // anything else
};

CellKind cellKind(std::string_view value);

// An ASCII digit, whatever the locale says.
inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace kolvane
