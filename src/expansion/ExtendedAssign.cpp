#include "expansion/ExtendedAssign.hpp"

#include "expansion/Assign.hpp"
#include "register/Text.hpp"
#include "terms/Eval.hpp"
#include "terms/TermAnalysis.hpp"

#include <vector>

// note [expansion order]: a term is expanded in two passes, and the split is
// behaviour. The first pass makes every test and look-up, depth first, the left
// operand before the right one, and locates each operand just before it is
// expanded; its failures come in that order. Ground operands are only noted. The
// second pass puts the expression together from left to right, and only then are
// ground operands translated: an untranslatable ground operand anywhere loses to
// a failed look-up anywhere («+ 2 x» with no «x» stops at the look-up).

namespace {

constexpr std::uint32_t noPiece = UINT32_MAX;
using Piece = ExpansionPiece;

struct Expansion {
    std::string_view term;
    TermGraph& graph;
    std::vector<Piece>& pieces;
    RegisterLookUp& lookUps;
    std::vector<std::uint64_t>& stack;
};

// A frame of either pass, packed into the context's reused stack.
std::uint64_t pack(std::uint32_t a, std::uint32_t b) { return (std::uint64_t{a} << 32) | b; }
std::uint32_t high(std::uint64_t v) { return static_cast<std::uint32_t>(v >> 32); }
std::uint32_t low(std::uint64_t v) { return static_cast<std::uint32_t>(v); }

std::uint32_t add(Expansion& x, Piece p) {
    x.pieces.push_back(p);
    return static_cast<std::uint32_t>(x.pieces.size() - 1);
}

bool isBasicFeatureLine(const LookedUp& found) {
    return found.longerThanTwo && typeOf(found) == LineType::Basic;
}

// The words of a term are mostly codes that are looked up soon: start fetching
// their slots while the term is analysed.
void prefetchWords(const Expansion& x) {
    if (!x.lookUps.index) return;
    const TermGraph& g = x.graph;
    const std::size_t n = g.text.size();
    for (std::size_t w = g.nextWord[0]; w < n; w = g.nextWord[g.wordEnd[w]]) {
        prefetchCode(*x.lookUps.index, hashChars(std::u32string_view(g.text).substr(w, g.wordEnd[w] - w)).hash);
    }
}

// The first pass over a term that is an operand: its normal form is a node.
std::uint32_t expandNode(Expansion& x, std::uint32_t root) {
    // A frame is an operator term: its node, and its left operand's piece once known.
    std::vector<std::uint64_t>& stack = x.stack;
    stack.clear();
    auto enter = [&](std::uint32_t node) -> std::uint32_t {
        const TermNode& n = x.graph.nodes[node];
        if (n.ground) return add(x, {Piece::EvalNode, node});
        // note [one look-up per term]: every look-up of a code meets the same
        // line, so the look-ups that assign and step 5 would make again are this one.
        // An operator term's normal form holds blanks.
        LookedUp found = lookUpHashed(indexOf(x.lookUps), n.hash, n.op != 0,
                                      [&](std::string_view code) { return termEquals(x.graph, node, code); });
        if (isBasicFeatureLine(found)) return add(x, {keepsName(found) ? Piece::TermNode : Piece::Blank, node});
        if (n.op != 0) {
            stack.push_back(pack(node, noPiece));
            return noPiece;
        }
        return add(x, {typeOf(found) == LineType::Composite ? Piece::TermNode : Piece::Blank, node});
    };
    std::uint32_t value = enter(root);
    while (!stack.empty()) {
        std::uint32_t node = high(stack.back());
        if (value == noPiece) { // a frame was just pushed: expand its left operand
            value = enter(x.graph.nodes[node].left);
            continue;
        }
        if (low(stack.back()) == noPiece) {
            stack.back() = pack(node, value);
            value = enter(x.graph.nodes[node].right);
            continue;
        }
        std::uint32_t leftPiece = low(stack.back());
        stack.pop_back();
        value = add(x, {Piece::Operator, node, leftPiece, value, x.graph.nodes[node].op});
    }
    return value;
}

// The first pass over the whole expression, as the register writes it.
std::uint32_t expandWhole(Expansion& x) {
    prefetchWords(x);
    if (isGroundText(x.graph)) return add(x, {Piece::EvalWhole});
    LookedUp found = lookUp(indexOf(x.lookUps), x.term); // note [one look-up per term]
    if (isBasicFeatureLine(found)) return add(x, {keepsName(found) ? Piece::TermWhole : Piece::Blank});
    char32_t op = operationAt(x.graph, 0);
    if (op == U' ') return add(x, {typeOf(found) == LineType::Composite ? Piece::TermWhole : Piece::Blank});
    std::uint32_t left = expandNode(x, leftTermOf(x.graph));
    std::uint32_t right = expandNode(x, rightTermOf(x.graph));
    return add(x, {Piece::Operator, noNode, left, right, op});
}

// Upper case, applied once per enclosing operator (a no-op after the first time
// for every character but a few).
char32_t upperTimes(char32_t c, unsigned times) {
    for (; times > 0; --times) {
        char32_t u = upperChar(c);
        if (u == c) break;
        c = u;
    }
    return c;
}

void upperFrom(std::string& out, std::size_t from, unsigned times) {
    if (times == 0) return;
    std::string tail;
    std::string_view text(out);
    for (std::size_t pos = from; pos < out.size();) appendChar(tail, upperTimes(nextChar(text, pos), times));
    out.resize(from);
    out += tail;
}

// The second pass: the expression text, from left to right.
std::string render(Expansion& x, std::uint32_t root) {
    enum Stage : std::uint8_t { Open, Between, Close };
    struct Frame {
        std::uint32_t piece;
        Stage stage;
        unsigned depth; // operators around the piece: how often it is upper-cased
    };
    // A frame packs the piece, the stage (2 bits) and the depth (30 bits).
    auto push = [&](Frame f) { x.stack.push_back(pack(f.piece, (f.depth << 2) | f.stage)); };
    std::string out;
    x.stack.clear();
    push({root, Open, 0});
    while (!x.stack.empty()) {
        std::uint64_t top = x.stack.back();
        Frame f{high(top), static_cast<Stage>(low(top) & 3), low(top) >> 2};
        x.stack.pop_back();
        const Piece& p = x.pieces[f.piece];
        std::size_t from = out.size();
        switch (p.kind) {
        case Piece::EvalWhole:
            evalText(x.graph, out);
            break;
        case Piece::EvalNode:
            evalTerm(x.graph, p.node, out);
            upperFrom(out, from, f.depth);
            break;
        case Piece::TermWhole:
            out += x.term;
            break;
        case Piece::TermNode:
            forEachChar(x.graph, p.node, [&](char32_t c) {
                appendChar(out, upperTimes(c, f.depth));
                return true;
            });
            break;
        case Piece::Blank:
            out += ' ';
            break;
        case Piece::Operator:
            if (f.stage == Open) {
                out += p.op == U'+' ? "PLUS(" : "DOT(";
                push({f.piece, Between, f.depth});
                push({p.left, Open, f.depth + 1});
            } else if (f.stage == Between) {
                out += ", ";
                push({f.piece, Close, f.depth});
                push({p.right, Open, f.depth + 1});
            } else {
                out += ')';
            }
            break;
        }
    }
    return out;
}

} // namespace

std::string extendedAssign(std::string_view term, ExpansionContext& context) {
    readTerm(term, context.graph);
    context.pieces.clear();
    Expansion x{term, context.graph, context.pieces, context.lookUps, context.stack};
    std::uint32_t root = expandWhole(x);
    return render(x, root);
}

std::string extendedAssign(std::string_view term, const std::string& registerPath) {
    ExpansionContext context{{registerPath, {}}, {}, {}, {}};
    return extendedAssign(term, context);
}
