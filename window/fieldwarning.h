#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "displaytext.h"

namespace kolvane {

// The field box's list with every entry that names a column of `header` (the
// first line's values, field 1 first) turned into that column's number. An
// entry that looks like a number stays a number, as on the command line; one
// that names no column, or two, stays as it is and so gives an empty value.
std::string numberNamedFields(std::string_view list, const std::vector<std::string>& header);

// What is wrong with the field box's list `box` (shown as `shownAs`), one line
// per entry the window cannot use: "'Email' is not a field number: it gives
// an empty value". With names on, a name is checked against `header`, the
// first line's names, and passes while that line is not known (nullopt).
// Empty when every entry is usable.
QString fieldsWarning(const QString& box, ShownAs shownAs, bool namesOn,
                      const std::optional<std::vector<std::string>>& header);

}  // namespace kolvane
