#pragma once
// The syntax of feature-algebra terms: prefix notation over the operator words
// "+" and "." and atoms, e.g. «. a + b c».
#include "register/Memory.hpp"
#include "register/Text.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

std::string getOperation(std::string_view t); // "+", "." or " " (an atom)
std::vector<std::string> getWords(std::string_view t); // split at the 23 white-space characters
std::string getVars(std::string_view t);      // every variable followed by one blank
std::vector<std::string> getListOfVars(std::string_view t);
bool isGroundTerm(std::string_view t);
std::string getLeftTerm(std::string_view t);
std::string getRightTerm(std::string_view t);
std::string takeTerm(std::string_view t);
bool isOnlyBasicFeatureName(std::string_view name, const std::string& registerPath);

// note [term graph]: takeTerm reads a term from a position of the text and every
// operand it reads starts at a later position of the same text: the left operand
// one character after the operator's, the right one (length of the left
// operand's normal form + 1) characters after that (note [operand by position]). Reading each position once and keeping
// the result as a node makes the analysis linear in the text and, with explicit
// stacks, independent of the nesting depth. A node never holds its normal form;
// it is rendered on demand.
inline constexpr std::uint32_t noNode = UINT32_MAX;

struct TermNode {
    std::uint32_t left = noNode, right = noNode; // an operator term's operands
    std::uint32_t wordBegin = 0, wordEnd = 0;    // an atom's word in the text
    char32_t op = 0;                             // U'+' or U'.'; 0 for an atom
    bool ground = true;                          // no variable among its words
    std::uint64_t length = 0;                    // characters of the normal form (saturating)
    std::uint64_t hash = 0, power = 1;           // of the normal form, see hashText
};

struct TermGraph {
    template <class T> using Array = std::vector<T, LargeAllocator<T>>;
    std::basic_string<char32_t, std::char_traits<char32_t>, LargeAllocator<char32_t>> text;
    Array<std::uint32_t> nextNonBlank; // first position >= p that is not 0x20
    Array<std::uint32_t> nextWord;     // first position >= p that is not white space
    Array<std::uint32_t> wordEnd;      // first position >= p that is white space
    Array<std::uint32_t> nodeAt;       // the term read at a blank-free position
    Array<TermNode> nodes;
    // Operator terms being read by takeTermAt: kept here so their storage is
    // reused from term to term.
    struct Reading {
        std::uint32_t at;
        char32_t op;
        std::uint32_t left;
    };
    std::vector<Reading> reading;
};

TermGraph readTerm(std::string_view t);
// The same into g, whose storage is reused from term to term.
void readTerm(std::string_view t, TermGraph& g);
// getOperation of the text from pos on: U'+', U'.' or U' '.
char32_t operationAt(const TermGraph& g, std::size_t pos);
// isGroundTerm of the whole text.
bool isGroundText(const TermGraph& g);
// takeTerm of the text from character position pos on.
std::uint32_t takeTermAt(TermGraph& g, std::size_t pos);
// The position (length of node's normal form + 1) characters after pos, at most
// the end of the text; see note [operand by position].
std::size_t skipOperand(const TermGraph& g, std::size_t pos, std::uint32_t node);
// getLeftTerm and getRightTerm of the whole text of g.
std::uint32_t leftTermOf(TermGraph& g);
std::uint32_t rightTermOf(TermGraph& g);

std::string renderTerm(const TermGraph& g, std::uint32_t node);
// Calls visit(c) for each character of the node's normal form until visit
// returns false; returns false when stopped.
template <class Visit> bool forEachChar(const TermGraph& g, std::uint32_t node, Visit visit);
bool termEquals(const TermGraph& g, std::uint32_t node, std::string_view utf8);



template <class Visit> bool forEachChar(const TermGraph& g, std::uint32_t node, Visit visit) {
    if (g.nodes[node].op == 0) {
        for (std::uint32_t i = g.nodes[node].wordBegin; i < g.nodes[node].wordEnd; ++i)
            if (!visit(g.text[i])) return false;
        return true;
    }
    std::vector<std::pair<std::uint32_t, bool>> stack{{node, false}};
    while (!stack.empty()) {
        auto [id, rightSide] = stack.back();
        stack.pop_back();
        const TermNode& x = g.nodes[id];
        if (x.op == 0) {
            for (std::uint32_t i = x.wordBegin; i < x.wordEnd; ++i)
                if (!visit(g.text[i])) return false;
        } else if (!rightSide) {
            if (!visit(x.op) || !visit(U' ')) return false;
            stack.push_back({id, true});
            stack.push_back({x.left, false});
        } else {
            if (!visit(U' ')) return false;
            stack.push_back({x.right, false});
        }
    }
    return true;
}
