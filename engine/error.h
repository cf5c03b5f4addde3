#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace kolvane {

// A failure that stops a rip or a file operation, carried as a value up to the
// window (which shows it in the status line) or the CLI (standard error, exit 1).
struct Error {
    std::string action;     // what was being done: "Cannot read", "Cannot write", ...
    std::string file;       // the path, or "standard input"/"standard output"
    std::string cause;      // the system's reason, e.g. "No space left on device"
    std::int64_t line = 0;  // 1-based source line where it applies; 0 when none does
    int code = 0;           // errno when the cause came from the system, else 0

    // "Cannot write out.txt at line 12: No space left on device"
    std::string message() const;
};

// Builds an Error whose cause is the system's text for errno value `code`.
Error systemError(std::string action, std::string file, int code, std::int64_t line = 0);

// A value or the Error that kept it from being made.
template <class T>
class Expected {
  public:
    Expected(T value) : v_(std::move(value)) {}
    Expected(Error error) : v_(std::move(error)) {}

    explicit operator bool() const { return v_.index() == 0; }
    T& operator*() { return std::get<0>(v_); }
    T* operator->() { return &std::get<0>(v_); }
    const Error& error() const { return std::get<1>(v_); }

  private:
    std::variant<T, Error> v_;
};

}  // namespace kolvane
