#include "terms/Eval.hpp"

#include "register/Failure.hpp"

#include <vector>

namespace {

[[noreturn]] void patternStop() { fail("Eval:(8,1)-(12,92): Non-exhaustive patterns in function eval"); }

bool isOperatorChar(char32_t c) { return c == U'+' || c == U'.'; }

// note [operator atoms]: eval recognises an operator by the first character
// alone, so an atom such as «+0» (one word, hence no operator term) is read as
// "+" applied to «0» and a missing right operand: the empty-text stop, not the
// pattern stop. This walks the chain of such leading operator characters.
void evalAtom(std::u32string_view w, std::string& out) {
    if (w == U"0") {
        out += "zeroSet";
        return;
    }
    if (w == U"1") {
        out += "oneSet";
        return;
    }
    while (!w.empty() && isOperatorChar(w.front())) {
        std::u32string_view operand = w.substr(1);
        // The left operand: a lone operator word lacks its own operands.
        if (operand.empty() || operand == U"+" || operand == U".") fail(headOfEmpty);
        // The operand is the rest of the word; if it translates, the right
        // operand is missing.
        if (operand == U"0" || operand == U"1") fail(headOfEmpty);
        w = operand;
    }
    patternStop();
}

} // namespace

void evalTerm(const TermGraph& g, std::uint32_t node, std::string& out) {
    enum Stage : std::uint8_t { Open, Between, Close };
    std::vector<std::pair<std::uint32_t, Stage>> stack{{node, Open}};
    while (!stack.empty()) {
        auto [id, stage] = stack.back();
        stack.pop_back();
        const TermNode& x = g.nodes[id];
        if (x.op == 0) {
            evalAtom(std::u32string_view(g.text).substr(x.wordBegin, x.wordEnd - x.wordBegin), out);
        } else if (stage == Open) {
            out += x.op == U'+' ? "PLUS(" : "DOT(";
            stack.push_back({id, Between});
            stack.push_back({x.left, Open});
        } else if (stage == Between) {
            out += ", ";
            stack.push_back({id, Close});
            stack.push_back({x.right, Open});
        } else {
            out += ')';
        }
    }
}

void evalText(TermGraph& g, std::string& out) {
    std::u32string_view t = g.text;
    if (t == U"0" || t == U"1") return evalAtom(t, out);
    if (t.empty() || !isOperatorChar(t[0])) patternStop();
    // The operator is the first character; the left operand starts after the
    // blanks that follow it, the right one is found by position.
    std::size_t r = g.nextNonBlank[1];
    std::uint32_t left = takeTermAt(g, r);
    out += t[0] == U'+' ? "PLUS(" : "DOT(";
    evalTerm(g, left, out);
    std::uint32_t right = takeTermAt(g, skipOperand(g, r, left));
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
