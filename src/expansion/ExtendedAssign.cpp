#include "expansion/ExtendedAssign.hpp"

#include "base/Text.hpp"
#include "expansion/Assign.hpp"
#include "terms/Eval.hpp"

// note [expansion order]: a term is expanded in two passes, and the split is
// behaviour. The first pass makes every test and look-up, depth first, the left
// operand before the right one, and locates each operand of the whole term just
// before it is expanded; its failures come in that order. Ground operands are
// only noted. The second pass writes the expression from left to right, and only
// then are ground operands translated: an untranslatable ground operand anywhere
// loses to a failed look-up anywhere («+ 2 x» with no «x» stops at the look-up).
// Every decision depends on the term alone, so it is made once per node; a node
// read twice (note [operand by position]) costs one look-up.

namespace {

struct Expansion {
    std::string_view term;
    TermGraph& graph;
    std::vector<Decision>& decisions;
    RegisterLookUp& lookUps;
};

bool isBasicFeatureLine(const RegisterIndex& ix, const LookedUp& found) {
    return found.longerThanTwo && typeOf(ix, found) == LineType::Basic;
}

// The words of a term are mostly codes that are looked up soon: start fetching
// their slots while the term is analysed.
void prefetchWords(const Expansion& x) {
    if (!x.lookUps.index) return;
    const TermGraph& g = x.graph;
    const std::size_t n = g.text.size();
    for (std::size_t w = nextWord(g, 0); w < n; w = nextWord(g, wordEnd(g, w)))
        prefetchCode(*x.lookUps.index,
                     hashChars(std::u32string_view(g.text.data() + w, wordEnd(g, w) - w)).hash);
}

// The look-up of a node's normal form (note [one look-up per term]: every
// look-up of a code meets the same line, so the ones that assign and step 5
// would make again are this one).
LookedUp lookUpNode(Expansion& x, const RegisterIndex& ix, std::uint32_t node) {
    TermGraph& g = x.graph;
    const TermNode& n = g.nodes[node];
    auto equals = [&](std::string_view code) { return termEquals(g, node, code); };
    if (!n.isOperator) return lookUpHashed(ix, hashChars(wordOf(g, n)).hash, false, equals);
    // An operator term's normal form holds blanks: only a code with one can match.
    if (!ix.blankInSomeCode) return lookUpHashed(ix, 0, true, equals);
    hashNodes(g);
    return lookUpHashed(ix, g.hashes[node].hash, true, equals);
}

Decision decide(Expansion& x, const RegisterIndex& ix, std::uint32_t node) {
    const TermNode& n = x.graph.nodes[node];
    if (n.ground) return Decision::Eval;
    LookedUp found = lookUpNode(x, ix, node);
    if (isBasicFeatureLine(ix, found))
        return keepsName(ix, found) ? Decision::Keep : Decision::Blank;
    if (n.isOperator) return Decision::Operator;
    if (!found.found)
        fail(FailureKind::CodeMissing, placeAt(x.graph, n.first), fromChars(wordOf(x.graph, n)));
    return typeOf(ix, found) == LineType::Composite ? Decision::Keep : Decision::Blank;
}

// The first pass over an operand: its normal form is a node.
void expandNode(Expansion& x, std::uint32_t root) {
    const RegisterIndex& ix = indexOf(x.lookUps);
    if (x.decisions.size() < x.graph.nodes.size())
        x.decisions.resize(x.graph.nodes.size(), Decision::Unknown);
    // A frame is an operator node whose left operand is expanded; bit 31 marks
    // one whose left operand is still to come.
    constexpr std::uint32_t leftToCome = std::uint32_t{1} << 31;
    std::vector<std::uint32_t>& stack = x.graph.walk;
    stack.clear();
    stack.push_back(root | leftToCome);
    while (!stack.empty()) {
        std::uint32_t top = stack.back();
        stack.pop_back();
        std::uint32_t node = top & ~leftToCome;
        const TermNode& n = x.graph.nodes[node];
        if (top & leftToCome) {
            if (x.decisions[node] != Decision::Unknown) continue;
            x.decisions[node] = decide(x, ix, node);
            if (x.decisions[node] != Decision::Operator) continue;
            stack.push_back(node);
            stack.push_back(n.first | leftToCome);
        } else {
            stack.push_back(n.second | leftToCome);
        }
    }
}

// An operand's expression: the calls of its operator nodes, each of its other
// parts in upper case, as every operand is (upper-casing twice is upper-casing
// once, which a unit test pins for every character).
void renderOperand(Expansion& x, std::uint32_t root, std::string& out) {
    TermGraph& g = x.graph;
    renderCalls(g, root, out, [&](std::uint32_t node, std::string& o) {
        const TermNode& n = g.nodes[node];
        if (n.ground) { // decided Eval, as is every node below it
            if (n.isOperator) return false;
            std::size_t from = o.size();
            evalAtom(g, n, o);
            for (std::size_t i = from; i < o.size(); ++i)
                if (o[i] >= 'a' && o[i] <= 'z') o[i] = static_cast<char>(o[i] - 0x20);
            return true;
        }
        switch (x.decisions[node]) {
        case Decision::Operator:
            return false;
        case Decision::Keep:
            forEachChar(g, node, [&](char32_t c) {
                appendChar(o, upperChar(c));
                return true;
            });
            return true;
        case Decision::Eval:
        case Decision::Blank:
        case Decision::Unknown:
            o += ' ';
            return true;
        }
        return true;
    });
}

} // namespace

ExpansionContext expansionOf(const RegisterText& text) {
    return {{text, {}, {}}, {}, {}};
}

ExpansionContext expansionOf(const std::string& registerPath) {
    return {{{}, registerPath, {}}, {}, {}};
}

void extendedAssign(std::string_view term, ExpansionContext& context, std::string& out,
                    Place origin) {
    TermGraph& g = context.graph;
    readTerm(term, g, origin);
    context.decisions.clear();
    Expansion x{term, g, context.decisions, context.lookUps};
    prefetchWords(x);
    // The first pass over the whole expression, as the register writes it.
    if (isGroundText(g)) return evalText(g, out);
    const RegisterIndex& ix = indexOf(x.lookUps);
    LookedUp found = lookUp(ix, term); // note [one look-up per term]
    if (isBasicFeatureLine(ix, found)) {
        if (keepsName(ix, found))
            out += term;
        else
            out += ' ';
        return;
    }
    char32_t op = operationAt(g, 0);
    if (op == U' ') {
        if (!found.found) {
            std::size_t w = nextWord(g, 0);
            fail(FailureKind::CodeMissing, placeAt(g, w), std::string(term));
        }
        if (typeOf(ix, found) == LineType::Composite)
            out += term;
        else
            out += ' ';
        return;
    }
    std::uint32_t left = leftTermOf(g);
    expandNode(x, left);
    std::uint32_t right = rightTermOf(g);
    expandNode(x, right);
    // The second pass.
    out += op == U'+' ? "PLUS(" : "DOT(";
    renderOperand(x, left, out);
    out += ", ";
    renderOperand(x, right, out);
    out += ')';
}

std::string extendedAssign(std::string_view term, const std::string& registerPath) {
    ExpansionContext context = expansionOf(registerPath);
    std::string out;
    extendedAssign(term, context, out);
    return out;
}
