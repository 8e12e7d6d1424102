#pragma once
// The register checker: where a fagen run would stop (errors), what it accepts
// but probably was not meant (warnings), and notes on what an error causes,
// all found in one pass over the register as fagen reads it.
#include "register/Register.hpp"

#include <cstdint>
#include <string>
#include <vector>

enum class Severity : std::uint8_t { Error, Warning, Note };

struct Diagnostic {
    std::uint64_t line;   // from 1
    std::uint64_t column; // from 1, in characters
    Severity severity;
    std::string text;
};

// The diagnostics of a register, by line; a line's root cause comes before its
// notes. Fails (with fagen's file-error message) only when the register cannot
// be read.
std::vector<Diagnostic> lintRegister(const RegisterText& text);

// "path:line:column: error: text" (or warning, note), path shown as the
// diagnostics show register text.
std::string formatDiagnostic(const std::string& path, const Diagnostic& d);
