#pragma once
// A composite feature's expression as the family file writes it: nested PLUS and
// DOT calls over feature codes and constants.
#include "register/RegisterIndex.hpp"
#include "terms/TermAnalysis.hpp"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// What the tests and look-ups decided for a term (see note [expansion order]).
enum class Decision : std::uint8_t {
    Unknown,
    Eval,    // a ground term, translated by eval
    Keep,    // a code that stands for itself
    Blank,   // a code of a line that is neither basic nor composite: one blank
    Operator // an operator term whose operands are expanded
};

// How the last term was read: what was decided for it as a whole and, for an
// operator term, its operator and operand nodes in graph (noNode where not read).
struct TermReading {
    Decision whole = Decision::Unknown;
    char32_t op = U' ';
    std::uint32_t left = noNode;
    std::uint32_t right = noNode;
};

// What the expansions of one run share: the register, read once, and scratch
// space reused from term to term.
struct ExpansionContext {
    RegisterLookUp lookUps;
    TermGraph graph;
    std::vector<Decision> decisions; // one per node of graph
    // The hash of each word of a short term, by the word's first position: a
    // word's slot is fetched while the term is analysed, and hashed once.
    std::vector<std::pair<std::uint32_t, std::uint64_t>> wordHashes;
    // Scratch space of the expansion of plain terms (note [plain terms]).
    struct PlainWord {
        std::uint32_t begin, end; // in the term
        std::uint32_t past;       // the word after the term that starts here
        bool op, variable;
        Decision decision;
        std::uint64_t hash; // of a variable
        LookedUp found;     // what the variable's look-up found
    };
    std::vector<PlainWord> plainWords; // of the last term, when `plain` is set
    bool plain = false;                // the last term was expanded from its words
    // Terms whose words were read and whose slots were fetched ahead
    // (prepareTerm, note [prepared terms]).
    struct PreparedTerm {
        std::string_view term; // nothing once taken
        const RegisterIndex* index = nullptr;
        bool plain = false;
        std::vector<PlainWord> words;
    };
    std::array<PreparedTerm, 2> prepared;
    unsigned preparedCount = 0;
    std::vector<std::uint32_t> plainStack;
    TermReading reading;
    // The checker's reading (note [checker failures]): with collect, each
    // failure of a look-up or a translation is kept there and the expansion goes
    // on as if it were mended (a missing code stands for itself, a search reads
    // past the line that stops it); a term that cannot be read still fails.
    std::vector<Failure>* collect = nullptr;
    // With collect: what each node's look-up found (by node), and the whole term's.
    std::vector<LookedUp> found;
    LookedUp wholeFound = notFoundLine;
    // The furthest line the last term's look-ups found (UINT64_MAX: one found
    // nothing), when the index keeps line numbers.
    std::uint64_t reach = 0;
};

ExpansionContext expansionOf(const RegisterText& text);
// Opens the register at path on the first look-up.
ExpansionContext expansionOf(const std::string& registerPath);

// Looks features up in the register at registerPath.
std::string extendedAssign(std::string_view term, const std::string& registerPath);
// The same on the register read once for the run, appending to out. origin is
// where the term stands in the register, for the places of failures.
void extendedAssign(std::string_view term, ExpansionContext& context, std::string& out,
                    Place origin = {});
// The same for the term of a register line: its place is worked out only for a
// term that may fail.
void extendedAssign(std::string_view term, ExpansionContext& context, std::string& out,
                    NumberedLine line);
// Reads the words of the term to be expanded next and starts fetching their
// slots; the expansion of that term (the same bytes) takes them from here
// (note [prepared terms]).
void prepareTerm(std::string_view term, ExpansionContext& context) noexcept;
