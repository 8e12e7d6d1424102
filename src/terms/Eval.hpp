#pragma once
// Ground terms as expression text: "0" is zeroSet, "1" oneSet, "+" PLUS, "." DOT.
#include "terms/TermAnalysis.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

std::string eval(std::string_view t);

// How eval read an operator term: its operands (noNode where not read).
struct EvalReading {
    std::uint32_t left = noNode;
    std::uint32_t right = noNode;
};

// eval of the whole text of g, as eval(t) reads it, appended to out. With
// collect, an atom without translation is kept there and the rest translated;
// a missing operand still fails.
EvalReading evalText(TermGraph& g, std::string& out, std::vector<Failure>* collect = nullptr);
// eval of an atom (the node's word), appended to out; the failure instead when
// the atom has no translation.
std::optional<Failure> translateAtom(const TermGraph& g, const TermNode& atom, std::string& out);

// Writes the nest of PLUS( , ) and DOT( , ) calls that a term's operator nodes
// make, from left to right, with explicit stacks. leaf(node, out) is asked first
// for every node: it writes the node and returns true, or returns false to have
// an operator node written as a call over its operands (an atom must be written).
// The one renderer of eval and the expansion.
template <class Leaf>
void renderCalls(TermGraph& g, std::uint32_t root, std::string& out, Leaf leaf) {
    // A frame is an operator node whose left operand is written; bit 31 marks
    // one whose right operand is written too.
    constexpr std::uint32_t rightWritten = std::uint32_t{1} << 31;
    auto& stack = g.walk;
    stack.clear();
    std::uint32_t open = root; // the node to write next, or noNode
    for (;;) {
        if (open != noNode) {
            if (leaf(open, out)) {
                open = noNode;
            } else {
                out += g.nodes[open].isDot ? "DOT(" : "PLUS(";
                stack.push_back(open);
                open = g.nodes[open].first;
                continue;
            }
        }
        if (stack.empty()) return;
        std::uint32_t& top = stack.back();
        if (top & rightWritten) {
            out += ')';
            stack.pop_back();
        } else {
            out += ", ";
            open = g.nodes[top].second;
            top |= rightWritten;
        }
    }
}

// eval of a node: the calls over its translated atoms.
void evalTerm(TermGraph& g, std::uint32_t node, std::string& out,
              std::vector<Failure>* collect = nullptr);
