#pragma once

#include <QString>
#include <string_view>

#include "fieldlist.h"
#include "lineripper.h"
#include "ripplan.h"

namespace kolvane {

// The preview box's tooltip, as rich text: `line` cut by the split string and
// numbered as a rip numbers its fields ("[1] 0   [2] uniform@delta.com ..."),
// long values shortened and at most kTipFields of them, and below it the
// result line `settings` give for that line, built by the rip's own code.
// `lastParse` is the field list the last rip parsed: a blank field box reuses
// it, as a rip does. Every text from the line or the settings is
// escaped, so data never becomes markup.
QString fieldTip(std::string_view line, const Settings& settings, const FieldList& lastParse);

inline constexpr int kTipFields = 40;

}  // namespace kolvane
