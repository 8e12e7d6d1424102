#include "terms/Eval.hpp"

namespace {

bool isOperatorChar(char32_t c) {
    return c == U'+' || c == U'.';
}

} // namespace

// note [operator atoms]: eval recognises an operator by the first character
// alone, so an atom such as «+0» (one word, hence no operator term) is read as
// "+" applied to «0» and a missing right operand: the empty-text stop, not the
// pattern stop. This walks the chain of such leading operator characters.
void evalAtom(const TermGraph& g, const TermNode& atom, std::string& out) {
    std::u32string_view w = wordOf(g, atom);
    if (w == U"0") {
        out += "zeroSet";
        return;
    }
    if (w == U"1") {
        out += "oneSet";
        return;
    }
    const Place at = placeAt(g, atom.first);
    while (!w.empty() && isOperatorChar(w.front())) {
        std::u32string_view operand = w.substr(1);
        // The left operand: a lone operator word lacks its own operands.
        if (operand.empty() || operand == U"+" || operand == U".")
            fail(FailureKind::OperandMissing, at);
        // The operand is the rest of the word; if it translates, the right
        // operand is missing.
        if (operand == U"0" || operand == U"1") fail(FailureKind::OperandMissing, at);
        w = operand;
    }
    fail(FailureKind::Untranslatable, at);
}

void evalTerm(TermGraph& g, std::uint32_t node, std::string& out) {
    renderCalls(g, node, out, [&](std::uint32_t n, std::string& o) {
        const TermNode& x = g.nodes[n];
        if (x.isOperator) return false;
        evalAtom(g, x, o);
        return true;
    });
}

void evalText(TermGraph& g, std::string& out) {
    const std::size_t n = g.text.size();
    if (n == 1 && (g.text[0] == U'0' || g.text[0] == U'1')) {
        out += g.text[0] == U'0' ? "zeroSet" : "oneSet";
        return;
    }
    if (n == 0 || !isOperatorChar(g.text[0])) fail(FailureKind::Untranslatable, placeAt(g, 0));
    // The operator is the first character; the left operand starts after the
    // blanks that follow it, the right one is found by position.
    std::size_t r = nextNonBlank(g, 1);
    std::uint32_t left = takeTermAt(g, r, 0);
    out += g.text[0] == U'+' ? "PLUS(" : "DOT(";
    evalTerm(g, left, out);
    std::uint32_t right = takeTermAt(g, skipOperand(g, r, left), 0);
    out += ", ";
    evalTerm(g, right, out);
    out += ')';
}

std::string eval(std::string_view t) {
    TermGraph g = readTerm(t);
    std::string out;
    evalText(g, out);
    return out;
}
