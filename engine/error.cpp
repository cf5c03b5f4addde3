#include "error.h"

#include <cstring>

namespace kolvane {

std::string Error::message() const {
    std::string text = action;
    if (!file.empty()) text += " " + file;
    if (line > 0) text += " at line " + std::to_string(line);
    if (!cause.empty()) text += ": " + cause;
    return text;
}

Error systemError(std::string action, std::string file, int code, std::int64_t line) {
    return Error{std::move(action), std::move(file), std::strerror(code), line, code};
}

}  // namespace kolvane
