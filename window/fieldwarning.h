#pragma once

#include <QString>
#include <vector>

#include "displaytext.h"
#include "sourcesession.h"

namespace kolvane {

// What is wrong with the field box's list, one line per entry the window
// cannot use, as the engine's lenient reading finds it: "'Email' is not a
// field number: it gives an empty value", the entry shown as the source
// shows (`shownAs`). Empty when every entry is usable.
QString fieldsWarning(const std::vector<FieldProblem>& problems, ShownAs shownAs);

}  // namespace kolvane
