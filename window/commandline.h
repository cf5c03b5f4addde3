#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace kolvane {

// What `kolvane [FILE]` asks for. The desktop entry starts `kolvane %f`.
struct CommandLine {
    std::string source;          // FILE's bytes, made absolute; empty when none was given
    std::optional<int> exitNow;  // --help, --version or a usage error: end with this
    QString message;             // what to print first (on standard error unless exitNow is 0)
};

// Reads the arguments as main() receives them, the program's name first, each
// byte as one Latin-1 character, so that a file name that is not UTF-8 keeps
// its bytes. `workDir` is the current directory's bytes.
CommandLine readCommandLine(const QStringList& arguments, const std::string& workDir);

// The current directory's bytes, whatever their encoding; "." when it has none.
std::string workDir();

}  // namespace kolvane
