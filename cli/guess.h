#pragma once

#include <ostream>
#include <string>

#include "formatguess.h"

namespace kolvane::cli {

// The options that rip a source as guessed, shell-quoted, on one line:
// "-s ';' --quoted --header", "-s '\t'" (as -s reads a tab), "-s ''" for one
// column, "--encoding cp1252" only for text that is not UTF-8.
std::string guessedOptions(const FormatGuess& guess);

// kolvane-rip --guess SOURCE ("-": standard input): prints the guessed options
// to `out`, then "# also possible: -s ';'" to `err` when another split string
// reads the source nearly as well; exit status 0, or 1 with the reason on `err`.
int runGuess(const std::string& source, std::ostream& out, std::ostream& err);

}  // namespace kolvane::cli
