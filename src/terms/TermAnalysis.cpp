#include "terms/TermAnalysis.hpp"

#include "base/Text.hpp"
#include "register/Register.hpp"
#include "register/RegisterLine.hpp"
#include "terms/StringParsing.hpp"

#include <algorithm>

// note [term memory]: a deep term is mostly nodes and per-position arrays, so both
// are packed: the characters (4 bytes), one skip entry and one node entry per
// position (4 + 4), and 12 bytes per node, of which a text has at most one per
// position and about one per two characters when written in normal form. The
// hashes (16 bytes a node) are made only when some code holds a blank, since only
// then can an operator term be a code. docs/performance.md gives the figures.

namespace {

// The words of a text: maximal runs of characters that are not white space.
std::vector<std::u32string_view> wordsOf(std::u32string_view t) {
    std::vector<std::u32string_view> words;
    std::size_t i = 0;
    while (i < t.size()) {
        while (i < t.size() && isWhiteSpace(t[i]))
            ++i;
        std::size_t start = i;
        while (i < t.size() && !isWhiteSpace(t[i]))
            ++i;
        if (i > start) words.push_back(t.substr(start, i - start));
    }
    return words;
}

bool isOperatorWord(std::u32string_view w) {
    return w == U"+" || w == U".";
}

std::uint32_t addNode(TermGraph& g, const TermNode& x) {
    g.nodes.push_back(x);
    return static_cast<std::uint32_t>(g.nodes.size() - 1);
}

std::uint32_t addAtom(TermGraph& g, std::size_t begin, std::size_t end) {
    TermNode x{};
    x.first = static_cast<std::uint32_t>(begin);
    x.second = static_cast<std::uint32_t>(end);
    x.length = static_cast<std::uint32_t>(end - begin);
    x.ground = !isLettersNumbers(std::u32string_view(g.text.data() + begin, end - begin));
    return addNode(g, x);
}

std::uint32_t addOperator(TermGraph& g, bool dot, std::uint32_t left, std::uint32_t right) {
    const TermNode& l = g.nodes[left];
    const TermNode& r = g.nodes[right];
    TermNode x{};
    x.isOperator = 1;
    x.isDot = dot;
    x.first = left;
    x.second = right;
    x.ground = l.ground && r.ground;
    x.length = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::uint64_t{3} + l.length + r.length, lengthCap));
    return addNode(g, x);
}

// What a reader fails with where it finds no term: an operand missing from the
// operator at operatorAt, or a blank term.
[[noreturn]] void failNoTerm(const TermGraph& g, std::size_t pos, std::size_t operatorAt,
                             bool right) {
    if (operatorAt != SIZE_MAX)
        fail(FailureKind::OperandMissing, placeAt(g, operatorAt),
             fromChars({g.text.data() + operatorAt, 1}), right ? "right operand" : "left operand");
    fail(FailureKind::TermBlank, placeAt(g, std::min(pos, g.text.size())));
}

// Skips the blanks (0x20 only) at pos; an empty remainder is the empty-text stop.
std::size_t skipBlanks(const TermGraph& g, std::size_t pos, std::size_t operatorAt,
                       bool right = false) {
    std::size_t q = nextNonBlank(g, pos);
    if (q == g.text.size()) failNoTerm(g, pos, operatorAt, right);
    return q;
}

} // namespace

Place placeAt(const TermGraph& g, std::size_t pos) {
    if (g.origin.line == 0) return {};
    return {g.origin.line, g.origin.column + pos};
}

std::size_t nextNonBlank(const TermGraph& g, std::size_t pos) {
    if (pos >= g.text.size()) return g.text.size();
    return g.text[pos] == U' ' ? g.skip[pos] : pos;
}

std::size_t nextWord(const TermGraph& g, std::size_t pos) {
    std::size_t q = nextNonBlank(g, pos);
    if (q < g.text.size() && isWhiteSpace(g.text[q])) return g.skip[q];
    return q;
}

std::size_t wordEnd(const TermGraph& g, std::size_t w) {
    return w < g.text.size() ? g.skip[w] : w;
}

char32_t operationAt(const TermGraph& g, std::size_t pos) {
    std::size_t w = nextWord(g, pos);
    if (w == g.text.size()) fail(FailureKind::TermBlank, placeAt(g, std::min(pos, w)));
    std::u32string_view word(g.text.data() + w, wordEnd(g, w) - w);
    return isOperatorWord(word) ? word[0] : U' ';
}

bool isGroundText(const TermGraph& g) {
    const std::size_t n = g.text.size();
    if (n == 0) return true;
    std::size_t w = nextWord(g, 0);
    if (w == n) fail(FailureKind::TermBlank, placeAt(g, 0));
    for (; w < n; w = nextWord(g, wordEnd(g, w)))
        if (isLettersNumbers(std::u32string_view(g.text.data() + w, wordEnd(g, w) - w)))
            return false;
    return true;
}

// note [operand by position]: the right operand is not parsed after the left one;
// it is taken (length of the left operand's normal form + 1) characters further
// on. That is what the register's terms have always meant, blanks included.
std::size_t skipOperand(const TermGraph& g, std::size_t pos, std::uint32_t node) {
    std::uint64_t p = std::uint64_t{pos} + g.nodes[node].length + 1;
    return static_cast<std::size_t>(std::min<std::uint64_t>(p, g.text.size()));
}

TermGraph readTerm(std::string_view t) {
    TermGraph g;
    readTerm(t, g);
    return g;
}

void readTerm(std::string_view t, TermGraph& g, Place origin) {
    g.origin = origin;
    g.text.resize(t.size());
    std::size_t chars = 0;
    for (std::size_t pos = 0; pos < t.size();) {
        auto b = static_cast<unsigned char>(t[pos]);
        g.text[chars++] = b < 0x80 ? (++pos, b) : nextChar(t, pos);
    }
    g.text.resize(chars);
    const std::size_t n = chars;
    if (n > termLimit) fail(FailureKind::OutOfMemory, origin, "term too long");
    g.skip.resize(n);
    g.nodeAt.assign(n, noNode);
    g.nodes.clear();
    // A term has at most one node per position; room for all of them is only
    // address space until used, and the nodes never move while they grow.
    if (n > (std::size_t{1} << 18)) {
        g.nodes.reserve(n + 1);
        g.walk.reserve(n / 2 + 1);
        g.form.reserve(n / 2 + 1);
    }
    g.hashes.clear();
    std::uint32_t nonBlank = static_cast<std::uint32_t>(n); // first position >= i not 0x20
    std::uint32_t word = static_cast<std::uint32_t>(n);     // first position >= i starting a word
    std::uint32_t end = static_cast<std::uint32_t>(n);      // first white-space position >= i
    for (std::size_t i = n; i-- > 0;) {
        char32_t c = g.text[i];
        bool white = isWhiteSpace(c);
        if (white) end = static_cast<std::uint32_t>(i);
        g.skip[i] = c == U' ' ? nonBlank : white ? word : end;
        if (c != U' ') nonBlank = static_cast<std::uint32_t>(i);
        if (!white) word = static_cast<std::uint32_t>(i);
    }
}

std::uint32_t takeTermAt(TermGraph& g, std::size_t pos, std::size_t operatorAt, bool right) {
    using Frame = TermGraph::Reading;
    auto& stack = g.reading;
    stack.clear();
    // Reads the term at p: a node when it is known at once, else noNode after
    // pushing a frame for an operator term.
    auto enter = [&](std::size_t p) -> std::uint32_t {
        // The character fagen takes for the operator: the one at the frame's
        // start, which is the operator's own unless a tab stands before it.
        std::size_t opAt = stack.empty() ? operatorAt : std::size_t{stack.back().at};
        bool isRight = stack.empty() ? right : stack.back().left != noNode;
        std::size_t at = skipBlanks(g, p, opAt, isRight);
        if (g.nodeAt[at] != noNode) return g.nodeAt[at];
        std::size_t w = nextWord(g, at);
        if (w == g.text.size()) failNoTerm(g, at, opAt, isRight);
        if (isOperatorWord(std::u32string_view(g.text.data() + w, wordEnd(g, w) - w))) {
            stack.push_back({static_cast<std::uint32_t>(at), noNode});
            return noNode;
        }
        return g.nodeAt[at] = addAtom(g, w, wordEnd(g, w));
    };
    std::uint32_t value = enter(pos);
    while (!stack.empty()) {
        if (value == noNode) { // a frame was just pushed: read its left operand
            value = enter(std::size_t{stack.back().at} + 1);
            continue;
        }
        Frame& f = stack.back();
        if (f.left == noNode) {
            f.left = value;
            value = enter(skipOperand(g, std::size_t{f.at} + 1, f.left));
            continue;
        }
        Frame done = f;
        stack.pop_back();
        bool dot = g.text[nextWord(g, done.at)] == U'.';
        value = g.nodeAt[done.at] = addOperator(g, dot, done.left, value);
    }
    // A deep term's stack is not kept for the next: it would sit beside the output.
    if (stack.capacity() > (std::size_t{1} << 20)) decltype(g.reading)().swap(g.reading);
    return value;
}

std::uint32_t leftTermOf(TermGraph& g) {
    std::size_t at = skipBlanks(g, 0, SIZE_MAX);
    if (operationAt(g, at) == U' ') return takeTermAt(g, at);
    return takeTermAt(g, at + 1, at);
}

std::uint32_t rightTermOf(TermGraph& g) {
    std::size_t at = skipBlanks(g, 0, SIZE_MAX);
    std::uint32_t left = leftTermOf(g);
    return takeTermAt(g, skipOperand(g, at + 1, left), at, true);
}

void endReading(TermGraph& g) {
    constexpr std::size_t large = std::size_t{1} << 20;
    if (g.skip.capacity() > large) decltype(g.skip)().swap(g.skip);
    if (g.nodeAt.capacity() > large) decltype(g.nodeAt)().swap(g.nodeAt);
    if (g.reading.capacity() > large) decltype(g.reading)().swap(g.reading);
}

void hashNodes(TermGraph& g) {
    const std::uint64_t base = hashBase();
    const TextHash blank = hashAppend(TextHash{}, U' ', base);
    for (std::size_t i = g.hashes.size(); i < g.nodes.size(); ++i) {
        const TermNode& x = g.nodes[i];
        if (!x.isOperator) {
            g.hashes.push_back(hashChars(wordOf(g, x)));
            continue;
        }
        TextHash h = hashAppend(hashAppend(TextHash{}, x.isDot ? U'.' : U'+', base), blank);
        h = hashAppend(hashAppend(hashAppend(h, g.hashes[x.first]), blank), g.hashes[x.second]);
        g.hashes.push_back(h);
    }
}

std::string renderTerm(TermGraph& g, std::uint32_t node) {
    std::string out;
    forEachChar(g, node, [&](char32_t c) {
        appendChar(out, c);
        return true;
    });
    return out;
}

bool termEquals(TermGraph& g, std::uint32_t node, std::string_view utf8) {
    const TermNode& n = g.nodes[node];
    if (!n.isOperator) { // an atom: its word, character by character
        std::size_t pos = 0;
        for (char32_t c : wordOf(g, n)) {
            if (pos == utf8.size()) return false;
            auto b = static_cast<unsigned char>(utf8[pos]);
            if ((b < 0x80 ? (++pos, char32_t{b}) : nextChar(utf8, pos)) != c) return false;
        }
        return pos == utf8.size();
    }
    std::size_t chars = countChars(utf8);
    if (g.nodes[node].length != std::min<std::size_t>(chars, lengthCap)) return false;
    std::size_t pos = 0;
    return forEachChar(g, node,
                       [&](char32_t c) { return pos < utf8.size() && nextChar(utf8, pos) == c; }) &&
           pos == utf8.size();
}

std::string getOperation(std::string_view t) {
    TermGraph g = readTerm(t);
    char32_t op = operationAt(g, 0);
    return op == U'+' ? "+" : op == U'.' ? "." : " ";
}

std::vector<std::string> getWords(std::string_view t) {
    std::u32string chars = toChars(t);
    std::vector<std::string> words;
    for (std::u32string_view w : wordsOf(chars))
        words.push_back(fromChars(w));
    return words;
}

std::string getVars(std::string_view t) {
    if (t.empty()) return "";
    std::u32string chars = toChars(t);
    std::vector<std::u32string_view> words = wordsOf(chars);
    if (words.empty()) fail(FailureKind::TermBlank);
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

bool isGroundTerm(std::string_view t) {
    return getVars(t).empty();
}

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
