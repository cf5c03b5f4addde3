#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "io.h"
#include "quoterules.h"

namespace kolvane {

// Rules both front ends apply to what the user gives them, written once so
// that the window and the command line cannot disagree.

// A tab cannot be typed into a one-line box, where Tab moves the focus, and is
// awkward on a command line: in a split or join string "\t" stands for a tab
// and "\\" for one backslash. Nothing else is read specially; a backslash
// before any other byte stays.
std::string readEscapes(std::string_view typed);
// What to type for `text`, so that readEscapes() gives it back.
std::string writeEscapes(std::string_view text);

// In quoted mode a quote opens and closes values, so a split string holding
// one reads `"a","b"` as two fields or as five, whichever way the fields are
// named: such a split string is refused, never read one way in silence.
// Why it is refused, for a message; empty when the split string is usable.
std::string_view splitProblem(const Dialect& dialect);

// Whether writing to `output` would write into `source`. Only a regular file
// can be damaged that way: a device such as /dev/null, a FIFO or a terminal
// shared by both is no harm, and neither is a side whose file is unknown.
bool writesInto(const std::optional<FileIdentity>& output,
                const std::optional<FileIdentity>& source);

// The file an open descriptor is on. Checks that guard a source compare what
// was actually opened, never the result of looking its path up again.
std::optional<FileIdentity> identityOf(int fd);
// The file a path names now, for a check made before the output is opened.
std::optional<FileIdentity> identityAt(const std::string& path);

}  // namespace kolvane
