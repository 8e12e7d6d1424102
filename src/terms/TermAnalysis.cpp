#include "terms/TermAnalysis.hpp"

#include "register/Failure.hpp"
#include "register/Register.hpp"
#include "register/RegisterLine.hpp"
#include "register/Text.hpp"
#include "terms/StringParsing.hpp"

#include <algorithm>

namespace {

constexpr std::uint64_t lengthLimit = std::uint64_t{1} << 62;

std::uint64_t addLength(std::uint64_t a, std::uint64_t b) { return std::min(a + b, lengthLimit); }

// The words of a text: maximal runs of characters that are not white space.
std::vector<std::u32string_view> wordsOf(std::u32string_view t) {
    std::vector<std::u32string_view> words;
    std::size_t i = 0;
    while (i < t.size()) {
        while (i < t.size() && isWhiteSpace(t[i])) ++i;
        std::size_t start = i;
        while (i < t.size() && !isWhiteSpace(t[i])) ++i;
        if (i > start) words.push_back(t.substr(start, i - start));
    }
    return words;
}

std::u32string_view firstWord(std::u32string_view t) {
    auto start = std::find_if_not(t.begin(), t.end(), isWhiteSpace);
    if (start == t.end()) fail(headOfEmpty);
    auto end = std::find_if(start, t.end(), isWhiteSpace);
    return t.substr(static_cast<std::size_t>(start - t.begin()), static_cast<std::size_t>(end - start));
}

bool isOperatorWord(std::u32string_view w) { return w == U"+" || w == U"."; }

std::uint32_t addAtom(TermGraph& g, std::uint32_t begin, std::uint32_t end) {
    TermNode x;
    x.wordBegin = begin;
    x.wordEnd = end;
    x.length = end - begin;
    x.ground = !isLettersNumbers(std::u32string_view(g.text).substr(begin, end - begin));
    TextHash h = hashChars(std::u32string_view(g.text).substr(begin, end - begin));
    x.hash = h.hash;
    x.power = h.power;
    g.nodes.push_back(x);
    return static_cast<std::uint32_t>(g.nodes.size() - 1);
}

std::uint32_t addOperator(TermGraph& g, char32_t op, std::uint32_t left, std::uint32_t right) {
    const TermNode& l = g.nodes[left];
    const TermNode& r = g.nodes[right];
    TermNode x;
    x.op = op;
    x.left = left;
    x.right = right;
    x.ground = l.ground && r.ground;
    x.length = addLength(addLength(3, l.length), r.length);
    TextHash h = hashAppend(hashAppend(TextHash{}, op), U' ');
    h = hashAppend(hashAppend(hashAppend(h, TextHash{l.hash, l.power}), U' '), TextHash{r.hash, r.power});
    x.hash = h.hash;
    x.power = h.power;
    g.nodes.push_back(x);
    return static_cast<std::uint32_t>(g.nodes.size() - 1);
}

// Skips the blanks (0x20 only) at pos; an empty remainder is the empty-text stop.
std::size_t skipBlanks(const TermGraph& g, std::size_t pos) {
    std::size_t q = g.nextNonBlank[std::min(pos, g.text.size())];
    if (q == g.text.size()) fail(headOfEmpty);
    return q;
}

bool startsWithOperator(const TermGraph& g, std::size_t at) { return operationAt(g, at) != U' '; }

} // namespace

char32_t operationAt(const TermGraph& g, std::size_t pos) {
    std::uint32_t w = g.nextWord[std::min(pos, g.text.size())];
    if (w == g.text.size()) fail(headOfEmpty);
    std::u32string_view word = std::u32string_view(g.text).substr(w, g.wordEnd[w] - w);
    return isOperatorWord(word) ? word[0] : U' ';
}

bool isGroundText(const TermGraph& g) {
    const std::size_t n = g.text.size();
    if (n == 0) return true;
    if (g.nextWord[0] == n) fail(headOfEmpty);
    for (std::size_t w = g.nextWord[0]; w < n; w = g.nextWord[g.wordEnd[w]])
        if (isLettersNumbers(std::u32string_view(g.text).substr(w, g.wordEnd[w] - w))) return false;
    return true;
}

// note [operand by position]: the right operand is not parsed after the left one;
// it is taken (length of the left operand's normal form + 1) characters further
// on. That is what the register's terms have always meant, blanks included.
std::size_t skipOperand(const TermGraph& g, std::size_t pos, std::uint32_t node) {
    std::uint64_t p = addLength(addLength(pos, g.nodes[node].length), 1);
    return static_cast<std::size_t>(std::min<std::uint64_t>(p, g.text.size()));
}


TermGraph readTerm(std::string_view t) {
    TermGraph g;
    readTerm(t, g);
    return g;
}

void readTerm(std::string_view t, TermGraph& g) {
    g.text.resize(t.size());
    std::size_t chars = 0;
    for (std::size_t pos = 0; pos < t.size();) g.text[chars++] = nextChar(t, pos);
    g.text.resize(chars);
    const std::size_t n = g.text.size();
    if (n >= noNode) fail("out of memory (term too long)");
    g.nextNonBlank.resize(n + 1);
    g.nextWord.resize(n + 1);
    g.wordEnd.resize(n + 1);
    g.nextNonBlank[n] = g.nextWord[n] = g.wordEnd[n] = static_cast<std::uint32_t>(n);
    g.nodeAt.assign(n + 1, noNode);
    g.nodes.clear();
    for (std::size_t i = n; i-- > 0;) {
        bool space = isWhiteSpace(g.text[i]);
        g.nextNonBlank[i] = g.text[i] != U' ' ? static_cast<std::uint32_t>(i) : g.nextNonBlank[i + 1];
        g.nextWord[i] = space ? g.nextWord[i + 1] : static_cast<std::uint32_t>(i);
        g.wordEnd[i] = space ? static_cast<std::uint32_t>(i) : g.wordEnd[i + 1];
    }
}

std::uint32_t takeTermAt(TermGraph& g, std::size_t pos) {
    using Frame = TermGraph::Reading;
    std::vector<Frame>& stack = g.reading;
    stack.clear();
    // Reads the term at p: a node when it is known at once, else noNode after
    // pushing a frame for an operator term.
    auto enter = [&](std::size_t p) -> std::uint32_t {
        std::size_t at = skipBlanks(g, p);
        if (g.nodeAt[at] != noNode) return g.nodeAt[at];
        std::uint32_t w = g.nextWord[at];
        if (startsWithOperator(g, at)) {
            stack.push_back({static_cast<std::uint32_t>(at), g.text[w], noNode});
            return noNode;
        }
        return g.nodeAt[at] = addAtom(g, w, g.wordEnd[w]);
    };
    std::uint32_t value = enter(pos);
    while (!stack.empty()) {
        if (value == noNode) { // a frame was just pushed: read its left operand
            value = enter(stack.back().at + std::size_t{1});
            continue;
        }
        Frame& f = stack.back();
        if (f.left == noNode) {
            f.left = value;
            value = enter(skipOperand(g, f.at + std::size_t{1}, f.left));
            continue;
        }
        Frame done = f;
        stack.pop_back();
        value = g.nodeAt[done.at] = addOperator(g, done.op, done.left, value);
    }
    return value;
}

std::uint32_t leftTermOf(TermGraph& g) {
    std::size_t at = skipBlanks(g, 0);
    return takeTermAt(g, startsWithOperator(g, at) ? at + 1 : at);
}

std::uint32_t rightTermOf(TermGraph& g) {
    std::size_t at = skipBlanks(g, 0);
    std::uint32_t left = leftTermOf(g);
    return takeTermAt(g, skipOperand(g, at + 1, left));
}

std::string renderTerm(const TermGraph& g, std::uint32_t node) {
    std::string out;
    forEachChar(g, node, [&](char32_t c) {
        appendChar(out, c);
        return true;
    });
    return out;
}

bool termEquals(const TermGraph& g, std::uint32_t node, std::string_view utf8) {
    if (countChars(utf8) != g.nodes[node].length) return false;
    std::size_t pos = 0;
    return forEachChar(g, node, [&](char32_t c) { return nextChar(utf8, pos) == c; });
}

std::string getOperation(std::string_view t) {
    std::u32string chars = toChars(t);
    std::u32string_view w = firstWord(chars);
    return w == U"+" ? "+" : w == U"." ? "." : " ";
}

std::vector<std::string> getWords(std::string_view t) {
    std::u32string chars = toChars(t);
    std::vector<std::string> words;
    for (std::u32string_view w : wordsOf(chars)) words.push_back(fromChars(w));
    return words;
}

std::string getVars(std::string_view t) {
    if (t.empty()) return "";
    std::u32string chars = toChars(t);
    std::vector<std::u32string_view> words = wordsOf(chars);
    if (words.empty()) fail(headOfEmpty);
    std::string vars;
    for (std::u32string_view w : words) {
        if (!isLettersNumbers(w)) continue;
        vars += fromChars(w);
        vars += ' ';
    }
    return vars;
}

std::vector<std::string> getListOfVars(std::string_view t) {
    std::vector<std::string> list;
    std::string vars = getVars(t);
    for (std::size_t i = 0; i < vars.size();) {
        std::size_t blank = vars.find(' ', i);
        list.push_back(vars.substr(i, blank - i));
        i = blank + 1;
    }
    return list;
}

bool isGroundTerm(std::string_view t) { return getVars(t).empty(); }

std::string getLeftTerm(std::string_view t) {
    TermGraph g = readTerm(t);
    return renderTerm(g, leftTermOf(g));
}

std::string getRightTerm(std::string_view t) {
    TermGraph g = readTerm(t);
    return renderTerm(g, rightTermOf(g));
}

std::string takeTerm(std::string_view t) {
    TermGraph g = readTerm(t);
    return renderTerm(g, takeTermAt(g, 0));
}

bool isOnlyBasicFeatureName(std::string_view name, const std::string& registerPath) {
    RegisterHandle h = readRegister(registerPath);
    std::string line = getRegisterLine(h, name);
    return hasMoreCharsThan(line, 2) && getRegisterLineType(line) == "0";
}
