#pragma once
// What a failure means in the register's own terms, in words a user can act on:
// the explanation fagen adds on a terminal and fagen-lint gives for its errors.
#include "base/Failure.hpp"
#include "explain/NearestCodes.hpp"
#include "register/Register.hpp"
#include "register/RegisterIndex.hpp"

#include <string>
#include <string_view>

// What an explanation may look at: the register's text, and its look-up index
// and near codes when there are any.
struct Explainer {
    RegisterText text;
    const RegisterIndex* index = nullptr;
    NearestCodes* near = nullptr;
};

// The failure explained; empty when it has nothing to add to the message.
std::string explain(const Failure& f, Explainer& e);

// A text from the register as diagnostics show it: between « and », control
// characters escaped, cut after limit characters (see shownInLocale).
std::string quoted(std::string_view text, std::size_t limit = 60);

// The word (a run of characters that are not white space) at a column of a line.
std::string_view wordAt(std::string_view line, std::uint64_t column);

// The explanation of a failure that stopped a run on the register's text.
std::string explainRunFailure(const Failure& f, const RegisterText& text);
