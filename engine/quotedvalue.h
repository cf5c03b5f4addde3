#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kolvane {

// How result values are quoted in quoted mode.
enum class QuoteOutput {
    needed,  // a value holding the join string, a quote, CR or LF; an empty one as nothing
    always,  // every value
    never,   // none: values go out as they read
};

// Writes the value of one field's bytes as quoted mode reads them at `out`,
// which has room for raw.size() bytes (a value is never longer than its
// bytes); returns the end. A field that does not start with a quote is its
// own value, quotes and all. One that does loses that quote and its closing
// one, `""` inside it is one quote, and what follows the closing quote is
// kept as it is (`"a"b"c` reads `ab"c`). An unterminated quote runs to the end.
char* unquoteTo(char* out, std::string_view raw);

// The same, appended to `out`.
void appendUnquoted(std::string& out, std::string_view raw);

// Whether the value of these field bytes is blank (nothing or spaces), as the
// skip rule tests it: `""` and `" "` are blank.
bool isBlankQuoted(std::string_view raw);

// Whether `needed` quotes this value.
bool needsQuotes(std::string_view value, std::string_view join);

// Writes `value` as `mode` quotes it at `out`, which has room for
// quotedBound(value.size()) bytes; returns the end.
char* quoteTo(char* out, std::string_view value, QuoteOutput mode, std::string_view join);

// The most bytes quoteTo() writes for a value of `size` bytes.
constexpr std::size_t quotedBound(std::size_t size) {
    return 2 * size + 2;
}

}  // namespace kolvane
