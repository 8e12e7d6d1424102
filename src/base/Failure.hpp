#pragma once
// The one way a run fails. A Failure says what kind of failure it is, where in
// the register its cause stands (when it has such a place) and the message that
// main prints after the program's name. It is thrown where the failure happens
// and caught only in main (and by the checker, see note [checker failures]).
// Every fixed message lives in Failure.cpp; nothing compares message text.
#include <cstdint>
#include <string>
#include <string_view>

enum class FailureKind : std::uint8_t {
    ColumnText,      // a column getter found no text left to examine
    ColumnMissing,   // a column after the last one was asked for
    LookUpStopped,   // a look-up by code met a line without "("
    CodeMissing,     // no register line has the code (the type of the not-found text)
    OperandMissing,  // an operator term lacks an operand
    TermBlank,       // a term of white space only
    ListEmpty,       // containsCode found no element
    Untranslatable,  // eval met a text that is no constant and no operator term
    ModelRefused,    // a model other than "0" or "1"
    ArgumentMissing, // an argument beyond the command line
    FileError,       // a file operation failed with an errno
    EndOfFile,       // a line was read at the end of the register
    InvalidBytes,    // register bytes that the locale's encoding refuses
    CannotEncode,    // output text that the locale's encoding cannot carry
    FileLocked,      // an output names a file open as the register
    IsDirectory,     // the register is a directory
    OutOfMemory,     // memory ran out
    TooLarge,        // a register or term beyond the sizes fagen handles
};

// The file operations that file errors name.
enum class FileOperation : std::uint8_t { OpenFile, GetLine, PutStr, RemoveLink };

// A register line (from 1) and a column in it (from 1, in characters); 0 where
// unknown.
struct Place {
    std::uint64_t line = 0;
    std::uint64_t column = 0;
};

struct Failure {
    FailureKind kind;
    Place place;
    std::string subject; // the path of a file error, the word that caused it, ...
    std::string detail;  // which column, which operand, ...
    std::string message; // what main prints after the program's name
};

// The failure of a kind, with its message; fail throws it.
Failure makeFailure(FailureKind kind, Place place = {}, std::string subject = {},
                    std::string detail = {});
[[noreturn]] void fail(FailureKind kind, Place place = {}, std::string subject = {},
                       std::string detail = {});
// A failed file operation: "<path>: <operation>: <kind> (<strerror text>)".
Failure fileFailure(FileOperation operation, const std::string& path, int error);
[[noreturn]] void failFile(FileOperation operation, const std::string& path, int error);
// The message of a file error, for a failure that is reported later.
std::string fileErrorMessage(FileOperation operation, const std::string& path, int error);

// The basename of argv[0], which error lines begin with; fallback without one.
std::string programName(int argc, char** argv, const char* fallback);

// The kind text for an errno value ("does not exist", "resource busy", ...).
const char* ioErrorKind(int error);
