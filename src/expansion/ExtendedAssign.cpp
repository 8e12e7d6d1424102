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

// One part of the result: what the first pass decided for a (sub)term.
struct Piece {
    enum Kind : std::uint8_t { EvalWhole, EvalNode, TermWhole, TermNode, Blank, Operator } kind;
    std::uint32_t node = noNode;
    std::uint32_t left = noPiece, right = noPiece;
    char32_t op = 0;
};

struct Expansion {
    std::string_view term;
    TermGraph graph;
    std::vector<Piece> pieces;
    RegisterLookUp& lookUps;
};

std::uint32_t add(Expansion& x, Piece p) {
    x.pieces.push_back(p);
    return static_cast<std::uint32_t>(x.pieces.size() - 1);
}

bool isBasicFeatureLine(const LookedUp& found) {
    return found.longerThanTwo && typeOf(found) == LineType::Basic;
}

// The first pass over a term that is an operand: its normal form is a node.
std::uint32_t expandNode(Expansion& x, std::uint32_t root) {
    struct Frame {
        std::uint32_t node;
        std::uint32_t leftPiece;
    };
    std::vector<Frame> stack;
    auto enter = [&](std::uint32_t node) -> std::uint32_t {
        const TermNode& n = x.graph.nodes[node];
        if (n.ground) return add(x, {Piece::EvalNode, node});
        const RegisterIndex& ix = indexOf(x.lookUps);
        auto found = [&] {
            return lookUpHashed(ix, n.hash, [&](std::string_view code) { return termEquals(x.graph, node, code); });
        };
        if (isBasicFeatureLine(found())) return add(x, {keepsName(found()) ? Piece::TermNode : Piece::Blank, node});
        if (n.op != 0) {
            stack.push_back({node, noPiece});
            return noPiece;
        }
        return add(x, {typeOf(found()) == LineType::Composite ? Piece::TermNode : Piece::Blank, node});
    };
    std::uint32_t value = enter(root);
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (value == noPiece) { // a frame was just pushed: expand its left operand
            value = enter(x.graph.nodes[f.node].left);
            continue;
        }
        if (f.leftPiece == noPiece) {
            f.leftPiece = value;
            value = enter(x.graph.nodes[f.node].right);
            continue;
        }
        Frame done = f;
        stack.pop_back();
        value = add(x, {Piece::Operator, done.node, done.leftPiece, value, x.graph.nodes[done.node].op});
    }
    return value;
}

// The first pass over the whole expression, as the register writes it.
std::uint32_t expandWhole(Expansion& x) {
    if (isGroundTerm(x.term)) return add(x, {Piece::EvalWhole});
    const RegisterIndex& ix = indexOf(x.lookUps);
    if (isBasicFeatureLine(lookUp(ix, x.term)))
        return add(x, {keepsName(lookUp(ix, x.term)) ? Piece::TermWhole : Piece::Blank});
    std::string op = getOperation(x.term);
    if (op == " ") return add(x, {typeOf(lookUp(ix, x.term)) == LineType::Composite ? Piece::TermWhole : Piece::Blank});
    std::uint32_t left = expandNode(x, leftTermOf(x.graph));
    std::uint32_t right = expandNode(x, rightTermOf(x.graph));
    return add(x, {Piece::Operator, noNode, left, right, op == "+" ? U'+' : U'.'});
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
    std::string out;
    std::vector<Frame> stack{{root, Open, 0}};
    while (!stack.empty()) {
        Frame f = stack.back();
        stack.pop_back();
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
                stack.push_back({f.piece, Between, f.depth});
                stack.push_back({p.left, Open, f.depth + 1});
            } else if (f.stage == Between) {
                out += ", ";
                stack.push_back({f.piece, Close, f.depth});
                stack.push_back({p.right, Open, f.depth + 1});
            } else {
                out += ')';
            }
            break;
        }
    }
    return out;
}

} // namespace

std::string extendedAssign(std::string_view term, RegisterLookUp& lookUps) {
    Expansion x{term, readTerm(term), {}, lookUps};
    std::uint32_t root = expandWhole(x);
    return render(x, root);
}

std::string extendedAssign(std::string_view term, const std::string& registerPath) {
    RegisterLookUp lookUps{registerPath, {}};
    return extendedAssign(term, lookUps);
}
