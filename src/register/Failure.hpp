#pragma once
// The one way a run fails: a Failure carries the message that main prints after
// the program's name. It is thrown where the failure happens and caught only in main.
#include <string>

struct Failure {
    std::string message;
};

// Messages shared by several modules.
inline constexpr const char* headOfEmpty = "Prelude.head: empty list";
inline constexpr const char* tailOfEmpty = "Prelude.tail: empty list";
inline constexpr const char* indexTooLarge = "Prelude.(!!): index too large";

[[noreturn]] void fail(std::string message);

// "<path>: <operation>: <kind> (<strerror text>)" for a failed file operation.
[[noreturn]] void failFile(const std::string& path, const char* operation, int err);

// The basename of argv[0], which error lines begin with; fallback without one.
std::string programName(int argc, char** argv, const char* fallback);

// The kind text for an errno value ("does not exist", "resource busy", ...).
const char* ioErrorKind(int err);
