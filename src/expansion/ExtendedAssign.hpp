#pragma once
// A composite feature's expression as the family file writes it: nested PLUS and
// DOT calls over feature codes and constants.
#include "register/RegisterIndex.hpp"
#include "terms/TermAnalysis.hpp"

#include <string>
#include <string_view>
#include <vector>

// One part of an expansion: what the tests and look-ups decided for a (sub)term.
struct ExpansionPiece {
    enum Kind : std::uint8_t { EvalWhole, EvalNode, TermWhole, TermNode, Blank, Operator } kind;
    std::uint32_t node = noNode;
    std::uint32_t left = UINT32_MAX, right = UINT32_MAX;
    char32_t op = 0;
};

// What the expansions of one run share: the register, read once, and scratch
// space reused from term to term.
struct ExpansionContext {
    RegisterLookUp lookUps;
    TermGraph graph;
    std::vector<ExpansionPiece> pieces;
    std::vector<std::uint64_t> stack; // the passes' own stacks, reused
};

// Looks features up in the register at registerPath.
std::string extendedAssign(std::string_view term, const std::string& registerPath);
// The same, on the register read once for the run.
std::string extendedAssign(std::string_view term, ExpansionContext& context);
