#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kolvane {

// What `kolvane [FILE]` asks for. The desktop entry starts `kolvane %f`.
struct CommandLine {
    QString source;              // FILE made absolute; empty when none was given
    std::optional<int> exitNow;  // --help, --version or a usage error: end with this
    QString message;             // what to print first (on standard error unless exitNow is 0)
};

// Reads the arguments as main() receives them, the program's name first.
CommandLine readCommandLine(const QStringList& arguments);

}  // namespace kolvane
