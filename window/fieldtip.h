#pragma once

#include <QString>
#include <string_view>
#include <vector>

#include "displaytext.h"
#include "sourcesession.h"

namespace kolvane {

// The preview box's tooltip, as rich text: `line` cut by the split string and
// numbered as a rip numbers its fields ("[1] 0   [2] uniform@delta.com ..."),
// long values shortened and at most kTipFields of them, and below it the
// result line `settings` give for that line with the field list `list`, as
// `source` answers it. Every text from the line or the settings is escaped,
// so data never becomes markup.
QString fieldTip(const SourceSession& source, std::string_view line, const Settings& settings,
                 const FieldList& list);

inline constexpr int kTipFields = 40;

// What is wrong with the field box's list, one line per entry the window
// cannot use, as the engine's lenient reading finds it: "'Email' is not a
// field number: it gives an empty value", the entry shown as the source
// shows (`shownAs`). Empty when every entry is usable.
QString fieldsWarning(const std::vector<FieldProblem>& problems, ShownAs shownAs);

}  // namespace kolvane
