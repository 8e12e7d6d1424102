#include "terms/Eval.hpp"

#include "base/Text.hpp"

namespace {

bool isOperatorChar(char32_t c) {
    return c == U'+' || c == U'.';
}

} // namespace

// note [operator atoms]: eval recognises an operator by the first character
// alone, so an atom such as «+0» (one word, hence no operator term) is read as
// "+" applied to «0» and a missing right operand: the empty-text stop, not the
// pattern stop. This walks the chain of such leading operator characters.
std::optional<Failure> translateAtom(const TermGraph& g, const TermNode& atom, std::string& out) {
    std::u32string_view w = wordOf(g, atom);
    if (w == U"0") {
        out += "zeroSet";
        return std::nullopt;
    }
    if (w == U"1") {
        out += "oneSet";
        return std::nullopt;
    }
    const Place at = placeAt(g, atom.first);
    while (!w.empty() && isOperatorChar(w.front())) {
        std::u32string_view operand = w.substr(1);
        // The left operand: a lone operator word lacks its own operands; if the
        // rest of the word translates, the right operand is missing.
        if (operand.empty() || operand == U"+" || operand == U"." || operand == U"0" ||
            operand == U"1")
            return makeFailure(FailureKind::OperandMissing, at, fromChars(wordOf(g, atom)),
                               "operator atom");
        w = operand;
    }
    // eval took an operator written against this word for an operator of its own.
    bool afterOperator = atom.first > 0 && isOperatorChar(g.text[atom.first - 1]) &&
                         (atom.first == 1 || isWhiteSpace(g.text[atom.first - 2]));
    return makeFailure(FailureKind::Untranslatable, at, fromChars(wordOf(g, atom)),
                       afterOperator ? fromChars({g.text.data() + atom.first - 1, 1})
                                     : std::string());
}

namespace {

// Fails as evalTerm would on the node, writing nothing: its first atom, left to
// right, without a translation. A node read twice is looked at once.
void failUntranslatable(TermGraph& g, std::uint32_t node) {
    std::vector<bool> seen(g.nodes.size());
    auto& stack = g.walk;
    stack.clear();
    stack.push_back(node);
    std::string ignored;
    while (!stack.empty()) {
        std::uint32_t n = stack.back();
        stack.pop_back();
        if (seen[n]) continue;
        seen[n] = true;
        const TermNode& x = g.nodes[n];
        if (x.isOperator) {
            stack.push_back(x.second);
            stack.push_back(x.first);
        } else if (std::optional<Failure> f = translateAtom(g, x, ignored)) {
            throw *f;
        }
        ignored.clear();
    }
}

} // namespace

void evalTerm(TermGraph& g, std::uint32_t node, std::string& out, std::vector<Failure>* collect) {
    renderCalls(g, node, out, [&](std::uint32_t n, std::string& o) {
        const TermNode& x = g.nodes[n];
        if (x.isOperator) return false;
        if (std::optional<Failure> f = translateAtom(g, x, o)) {
            if (!collect) throw *f;
            collect->push_back(std::move(*f));
        }
        return true;
    });
}

EvalReading evalText(TermGraph& g, std::string& out, std::vector<Failure>* collect) {
    const std::size_t n = g.text.size();
    if (n == 1 && (g.text[0] == U'0' || g.text[0] == U'1')) {
        out += g.text[0] == U'0' ? "zeroSet" : "oneSet";
        return {};
    }
    if (n == 0 || !isOperatorChar(g.text[0])) {
        Failure f = makeFailure(FailureKind::Untranslatable, placeAt(g, 0),
                                fromChars({g.text.data(), g.text.size()}), "expression");
        if (!collect) throw f;
        collect->push_back(std::move(f));
        return {};
    }
    // The operator is the first character; the left operand starts after the
    // blanks that follow it, the right one is found by position.
    EvalReading reading;
    std::size_t r = nextNonBlank(g, 1);
    reading.left = takeTermAt(g, r, 0);
    if (!collect) {
        // The left operand's translation fails before the right one is read; a
        // first look at its atoms finds that failure, so that the right operand
        // can be read, and the reading's memory given back, before anything is
        // written (note [term memory]).
        failUntranslatable(g, reading.left);
        reading.right = takeTermAt(g, skipOperand(g, r, reading.left), 0, true);
        endReading(g);
    }
    out += g.text[0] == U'+' ? "PLUS(" : "DOT(";
    evalTerm(g, reading.left, out, collect);
    if (collect) reading.right = takeTermAt(g, skipOperand(g, r, reading.left), 0, true);
    out += ", ";
    evalTerm(g, reading.right, out, collect);
    out += ')';
    return reading;
}

std::string eval(std::string_view t) {
    TermGraph g = readTerm(t);
    std::string out;
    evalText(g, out);
    return out;
}
