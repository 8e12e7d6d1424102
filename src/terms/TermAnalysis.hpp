#pragma once
// The syntax of feature-algebra terms: prefix notation over the operator words
// "+" and "." and atoms, e.g. «. a + b c».
#include "base/Failure.hpp"
#include "base/Hash.hpp"
#include "base/Memory.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

std::string getOperation(std::string_view t);          // "+", "." or " " (an atom)
std::vector<std::string> getWords(std::string_view t); // split at the 23 white-space characters
std::string getVars(std::string_view t);               // every variable followed by one blank
std::vector<std::string> getListOfVars(std::string_view t);
bool isGroundTerm(std::string_view t);
std::string getLeftTerm(std::string_view t);
std::string getRightTerm(std::string_view t);
std::string takeTerm(std::string_view t);
bool isOnlyBasicFeatureName(std::string_view name, const std::string& registerPath);

// note [term graph]: takeTerm reads a term from a position of the text and every
// operand it reads starts at a later position of the same text: the left operand
// one character after the operator's, the right one (length of the left
// operand's normal form + 1) characters after that (note [operand by position]).
// Reading each position once and keeping the result as a node makes the analysis
// linear in the text and, with explicit stacks, independent of the nesting
// depth. A node never holds its normal form; it is rendered on demand. Nodes are
// made after their operands, so their numbers order them bottom-up.
inline constexpr std::uint32_t noNode = UINT32_MAX;

// Terms longer than this many characters stop the run ("term too long"), so
// that positions and node numbers fit in 31 bits. A test build lowers it.
#ifndef FAGEN_TERM_LIMIT
#define FAGEN_TERM_LIMIT ((std::size_t{1} << 31) - 2)
#endif
inline constexpr std::size_t termLimit = FAGEN_TERM_LIMIT;

// A term read at a position, in 12 bytes (note [term memory]).
struct TermNode {
    std::uint32_t first : 31; // an operator term's left operand; an atom's first character
    std::uint32_t isOperator : 1;
    std::uint32_t second : 31; // an operator term's right operand; the end of an atom's word
    std::uint32_t isDot : 1;   // the operator is "." (else "+")
    std::uint32_t length : 31; // characters of the normal form, at most lengthCap
    std::uint32_t ground : 1;  // no variable among its words
};
inline constexpr std::uint32_t lengthCap = (std::uint32_t{1} << 31) - 1;

struct TermGraph {
    template <class T> using Array = std::vector<T, LargeAllocator<T>>;
    Array<char32_t> text;
    // One entry per position (note [term memory]): at a blank (0x20), the next
    // position that is not one; at other white space, the start of the next word;
    // in a word, the end of that word.
    Array<std::uint32_t> skip;
    Array<std::uint32_t> nodeAt; // the term read at a position not a blank, or noNode
    Array<TermNode> nodes;
    Array<TextHash> hashes; // of each node's normal form, made by hashNodes
    Place origin;           // where the text stands in the register, for failures
    // Scratch stacks, kept so their storage is reused from term to term.
    struct Reading {
        std::uint32_t at;   // where the operator term starts
        std::uint32_t left; // its left operand once read
    };
    Array<Reading> reading;
    Array<std::uint32_t> walk;
    Array<std::uint32_t> form;
};

TermGraph readTerm(std::string_view t);
// The same into g, whose storage is reused from term to term; origin is where
// the text's first character stands in the register.
void readTerm(std::string_view t, TermGraph& g, Place origin = {});
// The next position >= pos that is not a blank (0x20), and the next that starts a word.
std::size_t nextNonBlank(const TermGraph& g, std::size_t pos);
std::size_t nextWord(const TermGraph& g, std::size_t pos);
// The end of the word that starts at w.
std::size_t wordEnd(const TermGraph& g, std::size_t w);
// getOperation of the text from pos on: U'+', U'.' or U' '.
char32_t operationAt(const TermGraph& g, std::size_t pos);
// isGroundTerm of the whole text.
bool isGroundText(const TermGraph& g);
// takeTerm of the text from position pos on. A text that holds no term there
// fails: as the (right, when set) operand missing from the operator at
// operatorAt, when given.
std::uint32_t takeTermAt(TermGraph& g, std::size_t pos, std::size_t operatorAt = SIZE_MAX,
                         bool right = false);
// The position (length of node's normal form + 1) characters after pos, at most
// the end of the text; see note [operand by position].
std::size_t skipOperand(const TermGraph& g, std::size_t pos, std::uint32_t node);
// getLeftTerm and getRightTerm of the whole text of g.
std::uint32_t leftTermOf(TermGraph& g);
std::uint32_t rightTermOf(TermGraph& g);
// Makes g.hashes for every node read so far.
void hashNodes(TermGraph& g);
// Gives back the memory of a large term's per-position arrays and reading
// stack once no more of it is to be read (note [term memory]); the nodes stay.
void endReading(TermGraph& g);

// The place in the register of the text's character at pos.
Place placeAt(const TermGraph& g, std::size_t pos);

std::string renderTerm(TermGraph& g, std::uint32_t node);
// Calls visit(c) for each character of the node's normal form until visit
// returns false; returns false when stopped.
template <class Visit> bool forEachChar(TermGraph& g, std::uint32_t node, Visit visit);
bool termEquals(TermGraph& g, std::uint32_t node, std::string_view utf8);
// The node's word, for an atom.
inline std::u32string_view wordOf(const TermGraph& g, const TermNode& atom) {
    return std::u32string_view(g.text.data() + atom.first, atom.second - atom.first);
}

template <class Visit> bool forEachChar(TermGraph& g, std::uint32_t node, Visit visit) {
    // A frame is an operator term whose left operand is written; bit 31 marks
    // one whose left operand is still to come.
    constexpr std::uint32_t leftToCome = std::uint32_t{1} << 31;
    auto& stack = g.form;
    stack.clear();
    stack.push_back(node | leftToCome);
    while (!stack.empty()) {
        std::uint32_t top = stack.back();
        stack.pop_back();
        const TermNode& x = g.nodes[top & ~leftToCome];
        if (!x.isOperator) {
            for (char32_t c : wordOf(g, x))
                if (!visit(c)) return false;
        } else if (top & leftToCome) {
            if (!visit(x.isDot ? U'.' : U'+') || !visit(U' ')) return false;
            stack.push_back(top & ~leftToCome);
            stack.push_back(x.first | leftToCome);
        } else {
            if (!visit(U' ')) return false;
            stack.push_back(x.second | leftToCome);
        }
    }
    return true;
}
