#include "expansion/ExtendedAssign.hpp"

#include "base/Text.hpp"
#include "expansion/Assign.hpp"
#include "terms/Eval.hpp"

#include <algorithm>
#include <array>
#include <cstring>

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
    ExpansionContext& context;
    TermGraph& graph;
    std::vector<Decision>& decisions;
    RegisterLookUp& lookUps;
};

// Fails, or keeps the failure when the checker collects them.
void failOrKeep(Expansion& x, Failure f) {
    if (!x.context.collect) throw f;
    x.context.collect->push_back(std::move(f));
}

// A look-up: fails where fagen's search stops, or, for the checker, keeps that
// failure and reads on.
template <class Equal>
LookedUp look(Expansion& x, const RegisterIndex& ix, std::uint64_t hash, bool holdsBlank,
              Equal equals) {
    if (ix.empty) failLookUp(ix);
    Probe p = probeHashed(ix, hash, holdsBlank, equals);
    if (p.stopped) failOrKeep(x, lookUpFailure(ix));
    std::uint64_t& reach = x.context.reach;
    // Only a search that can meet a stop line needs to know how far it went.
    if (!ix.stopLines.empty())
        reach = std::max(reach, p.found.found ? lineFound(ix, p.found) : UINT64_MAX);
    return p.found;
}

// The type of the line found; a line without a type column reads, for the
// checker, as a line of another type.
LineType typeFound(Expansion& x, const RegisterIndex& ix, const LookedUp& found) {
    if (x.context.collect && found.found &&
        (found.type == LineType::NoColumnText || found.type == LineType::NoTypeColumn)) {
        std::optional<Failure> f;
        try {
            typeOf(ix, found);
        } catch (Failure& e) {
            f = std::move(e);
        }
        failOrKeep(x, std::move(*f));
        return LineType::Other;
    }
    return typeOf(ix, found);
}

bool isBasicFeatureLine(Expansion& x, const RegisterIndex& ix, const LookedUp& found) {
    return found.longerThanTwo && typeFound(x, ix, found) == LineType::Basic;
}

// The words of a short term are mostly codes that are looked up soon: hash them
// and start fetching their slots while the term is analysed.
void prefetchWords(Expansion& x) {
    auto& hashes = x.context.wordHashes;
    hashes.clear();
    if (!x.lookUps.index) return;
    const TermGraph& g = x.graph;
    const std::size_t n = g.text.size();
    for (std::size_t w = nextWord(g, 0); w < n; w = nextWord(g, wordEnd(g, w))) {
        if (hashes.size() == 64) return; // a long term: each word is hashed when looked up
        std::uint64_t h = hashOfChars(std::u32string_view(g.text.data() + w, wordEnd(g, w) - w));
        prefetchCode(*x.lookUps.index, h);
        hashes.emplace_back(static_cast<std::uint32_t>(w), h);
    }
}

// The hash of an atom's word, from prefetchWords where it has it.
std::uint64_t atomHash(const Expansion& x, const TermNode& atom) {
    const auto& hashes = x.context.wordHashes;
    auto it = std::lower_bound(hashes.begin(), hashes.end(),
                               std::make_pair(std::uint32_t{atom.first}, std::uint64_t{0}));
    if (it != hashes.end() && it->first == atom.first) return it->second;
    return hashOfChars(wordOf(x.graph, atom));
}

// The look-up of a node's normal form (note [one look-up per term]: every
// look-up of a code meets the same line, so the ones that assign and step 5
// would make again are this one).
LookedUp lookUpNode(Expansion& x, const RegisterIndex& ix, std::uint32_t node) {
    TermGraph& g = x.graph;
    const TermNode& n = g.nodes[node];
    auto equals = [&](std::string_view code) { return termEquals(g, node, code); };
    if (!n.isOperator) return look(x, ix, atomHash(x, n), false, equals);
    // An operator term's normal form holds blanks: only a code with one can match.
    if (!ix.blankInSomeCode) return look(x, ix, 0, true, equals);
    hashNodes(g);
    return look(x, ix, g.hashes[node].hash, true, equals);
}

Decision decide(Expansion& x, const RegisterIndex& ix, std::uint32_t node) {
    const TermNode& n = x.graph.nodes[node];
    if (n.ground) return Decision::Eval;
    LookedUp found = lookUpNode(x, ix, node);
    if (x.context.collect) x.context.found[node] = found;
    if (isBasicFeatureLine(x, ix, found)) return Decision::Keep;
    if (n.isOperator) return Decision::Operator;
    if (!found.found) {
        failOrKeep(x, makeFailure(FailureKind::CodeMissing, placeAt(x.graph, n.first),
                                  fromChars(wordOf(x.graph, n))));
        return Decision::Keep;
    }
    return typeFound(x, ix, found) == LineType::Composite ? Decision::Keep : Decision::Blank;
}

// The first pass over an operand: its normal form is a node.
void expandNode(Expansion& x, std::uint32_t root) {
    const RegisterIndex& ix = indexOf(x.lookUps);
    if (x.decisions.size() < x.graph.nodes.size())
        x.decisions.resize(x.graph.nodes.size(), Decision::Unknown);
    if (x.context.collect && x.context.found.size() < x.graph.nodes.size())
        x.context.found.resize(x.graph.nodes.size(), notFoundLine);
    // A frame is an operator node whose left operand is expanded; bit 31 marks
    // one whose left operand is still to come.
    constexpr std::uint32_t leftToCome = std::uint32_t{1} << 31;
    auto& stack = x.graph.walk;
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
            if (std::optional<Failure> f = translateAtom(g, n, o)) failOrKeep(x, std::move(*f));
            for (std::size_t i = from; i < o.size(); ++i)
                if (o[i] >= 'a' && o[i] <= 'z') o[i] = static_cast<char>(o[i] - 0x20);
            return true;
        }
        switch (x.decisions[node]) {
        case Decision::Operator:
            return false;
        case Decision::Keep:
            if (!n.isOperator) { // a code: its word in upper case
                for (char32_t c : wordOf(g, n)) {
                    if (c < 0x80)
                        o.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 0x20 : c));
                    else
                        appendChar(o, upperChar(c));
                }
                return true;
            }
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
    ExpansionContext context;
    context.lookUps.text = text;
    return context;
}

ExpansionContext expansionOf(const std::string& registerPath) {
    ExpansionContext context;
    context.lookUps.path = registerPath;
    return context;
}

// note [plain terms]: most expressions are ASCII words, each after one blank,
// and name codes that hold no blank. Read as words, such a term is the same
// term as the position-by-position reading gives (each operand's text is its
// normal form, so the next one starts where it ends), and no operator term can
// be a code. expandPlain expands it from its words alone, making the same
// look-ups in the same order; anything else (another shape, a look-up that does
// not find a feature, an atom without translation) returns false with the
// output as it was, and the general expansion does the term again and meets
// the failure exactly as always.
namespace {

// The bytes of a plain term, by what they may be part of.
enum class PlainChar : std::uint8_t { Refused, Letter, Digit, Other };
constexpr auto plainCharKinds = [] {
    std::array<PlainChar, 256> kinds{};
    for (int c = '!'; c < 0x7F; ++c)
        kinds[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ? PlainChar::Letter
                   : c >= '0' && c <= '9'                                       ? PlainChar::Digit
                                                                                : PlainChar::Other;
    return kinds;
}();

const RegisterIndex* plainIndex(std::string_view term, const ExpansionContext& context) {
    const RegisterIndex* ix = context.lookUps.index ? &*context.lookUps.index : nullptr;
    // A term past the limit is left to the reader, which stops there.
    if (!ix || ix->blankInSomeCode || ix->stopLine != 0 || ix->empty || term.empty() ||
        term[0] == ' ' || term.size() > termLimit)
        return nullptr;
    return ix;
}

// The words of a plain term, each code hashed and its slot fetched; false when
// the term is not plain, or a constant expression or an atom.
bool readPlainWords(std::string_view term, const RegisterIndex& ix,
                    std::vector<ExpansionContext::PlainWord>& words) {
    words.clear();
    bool anyVariable = false;
    const std::size_t n = term.size();
    auto kind = [&](std::size_t at) {
        return plainCharKinds[static_cast<unsigned char>(term[at])];
    };
    for (std::size_t i = 0; i < n;) {
        // A variable is letters, then digits; any other word is printable ASCII.
        std::size_t j = i;
        while (j < n && kind(j) == PlainChar::Letter)
            ++j;
        bool variable = j > i;
        while (j < n && kind(j) == PlainChar::Digit)
            ++j;
        for (; j < n && term[j] != ' '; ++j) {
            if (kind(j) == PlainChar::Refused) return false; // white space, controls, non-ASCII
            variable = false;
        }
        if (j + 1 == n || (j + 1 < n && term[j + 1] == ' ')) return false; // blanks
        bool op = j == i + 1 && (term[i] == '+' || term[i] == '.');
        // A code is about to be looked up: hash it and start fetching its slot,
        // so the look-ups of a term wait for memory together.
        std::uint64_t hash = variable ? hashOfText(term.substr(i, j - i)) : 0;
        if (variable) prefetchCode(ix, hash);
        words.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j), 0, op,
                         variable, Decision::Unknown, hash, notFoundLine});
        anyVariable = anyVariable || variable;
        i = j + 1;
    }
    return anyVariable && words[0].op;
}

} // namespace

// note [prepared terms]: the composites' loops prepare the next composite's
// term while they expand one, so that its slots arrive while this one is
// written. A term is taken from what was prepared only for the same place,
// length and index, so for the same bytes; what was prepared and never asked
// for is overwritten two terms later. Either way the look-ups themselves
// compare each code's bytes. Preparing is only a hint: it never fails (out of
// memory, the term is left unprepared), and a long term, whose look-ups wait
// for less than its expansion takes, is not prepared, so that what is kept for
// the terms to come stays small.
namespace {
constexpr std::size_t preparedBytes = std::size_t{1} << 12; // of the longest term prepared
}

void prepareTerm(std::string_view term, ExpansionContext& context) noexcept {
    ExpansionContext::PreparedTerm& p =
        context.prepared[context.preparedCount++ % context.prepared.size()];
    p.term = {};
    if (term.size() > preparedBytes) return;
    try {
        p.index = plainIndex(term, context);
        p.plain = p.index && readPlainWords(term, *p.index, p.words);
        p.term = term;
    } catch (...) {
        // Unprepared: the expansion reads the term itself.
    }
}

bool expandPlain(std::string_view term, ExpansionContext& context, std::string& out) {
    const RegisterIndex* ix = plainIndex(term, context);
    if (!ix) return false;
    using Word = ExpansionContext::PlainWord;
    auto& words = context.plainWords;
    ExpansionContext::PreparedTerm* prepared = nullptr; // note [prepared terms]
    for (ExpansionContext::PreparedTerm& p : context.prepared)
        if (p.term.data() == term.data() && p.term.size() == term.size() && p.index == ix)
            prepared = &p;
    if (prepared) {
        prepared->term = {};
        if (!prepared->plain) return false;
        words.swap(prepared->words);
        // What the slot got back may be the storage of a long term read before.
        if (prepared->words.capacity() > preparedBytes)
            std::vector<ExpansionContext::PlainWord>().swap(prepared->words);
    } else if (!readPlainWords(term, *ix, words)) {
        return false;
    }
    // One pass from left to right, depth first, the left operand before the
    // right one: each code looked up as it is met, the expression written as it
    // goes, every operand in upper case. It is written into room for the longest
    // it can be: an operator word becomes at most 8 bytes («PLUS(», «, », «)»),
    // any other word at most 7 more than its own. Short pieces are stored 8 bytes
    // at a time, into 8 bytes of room kept at the end. Anything that is not
    // plain after all (a missing operand, a look-up that does not find a
    // feature, an atom without translation) leaves out as it was.
    const std::size_t start = out.size();
    out.resize(start + 8 * words.size() + term.size() + 8);
    char* at = out.data() + start;
    auto notPlain = [&] {
        out.resize(start);
        return false;
    };
    auto put = [&](std::string_view s) {
        std::memcpy(at, s.data(), s.size());
        at += s.size();
    };
    auto putOperator = [&](char op) {
        std::memcpy(at, op == '+' ? "PLUS(\0\0" : "DOT(\0\0\0", 8);
        at += op == '+' ? 5 : 4;
    };
    putOperator(term[0]);
    words[0].decision = Decision::Operator;
    // Operator words whose right operand is still to come (bit 31: their left
    // one is written).
    constexpr std::uint32_t leftDone = std::uint32_t{1} << 31;
    std::vector<std::uint32_t>& open = context.plainStack;
    open.clear();
    open.push_back(0);
    std::size_t k = 1;
    for (;; ++k) {
        if (k == words.size()) return notPlain(); // a missing operand
        Word& w = words[k];
        if (w.op) {
            w.decision = Decision::Operator;
            putOperator(term[w.begin]);
            open.push_back(static_cast<std::uint32_t>(k));
            continue;
        }
        w.past = static_cast<std::uint32_t>(k + 1);
        const std::size_t size = w.end - w.begin;
        if (w.variable) {
            std::string_view code = term.substr(w.begin, size);
            const bool inSlot = size <= RegisterIndex::inlineBytes;
            const std::uint64_t bytes = inSlot ? slotBytes(code.data(), size) : 0;
            LookedUp found = notFoundLine;
            if (inSlot) {
                // No line stops a search (plainIndex): the slot's line is what the search meets.
                if (const RegisterIndex::Slot* slot = findShortSlot(*ix, w.hash, bytes))
                    found = lineOf(*ix, *slot);
            } else {
                found = lookUpHashed(*ix, w.hash, false,
                                     [&](std::string_view c) { return sameBytes(c, code); });
            }
            if (!found.found || found.type == LineType::NoColumnText ||
                found.type == LineType::NoTypeColumn)
                return notPlain();
            w.found = found;
            const bool keep = (found.longerThanTwo && found.type == LineType::Basic) ||
                              found.type == LineType::Composite;
            w.decision = keep ? Decision::Keep : Decision::Blank;
            if (!keep) {
                *at++ = ' ';
            } else if (inSlot) {
                const std::uint64_t upper = upperCaseAscii(bytes);
                std::memcpy(at, &upper, sizeof upper);
                at += size;
            } else {
                char* from = at;
                put(code);
                for (char* c = from; c != at; ++c)
                    if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 0x20);
            }
        } else { // a ground atom: only the constants have a translation here
            w.decision = Decision::Eval;
            std::string_view a = term.substr(w.begin, size);
            if (a != "0" && a != "1") return notPlain();
            put(a == "0" ? "ZEROSET" : "ONESET");
        }
        // Close every operator term this operand completes; then go on with the
        // right operand of the innermost one it does not.
        while (!open.empty() && (open.back() & leftDone)) {
            *at++ = ')';
            words[open.back() & ~leftDone].past = static_cast<std::uint32_t>(k + 1);
            open.pop_back();
        }
        if (open.empty()) break;
        put(", ");
        open.back() |= leftDone;
    }
    // words[0].past, the end of the whole term: the words after it are ignored.
    out.resize(static_cast<std::size_t>(at - out.data()));
    return true;
}

namespace {

// Any term, read position by position.
void expandRead(std::string_view term, ExpansionContext& context, std::string& out, Place origin) {
    TermGraph& g = context.graph;
    readTerm(term, g, origin);
    context.decisions.clear();
    context.found.clear();
    context.wholeFound = notFoundLine;
    context.reading = {};
    context.reach = 0;
    TermReading& reading = context.reading;
    Expansion x{context, g, context.decisions, context.lookUps};
    // The first pass over the whole expression, as the register writes it.
    if (isGroundText(g)) {
        reading.whole = Decision::Eval;
        reading.op = !g.text.empty() ? g.text[0] : U' ';
        EvalReading r = evalText(g, out, context.collect);
        reading.left = r.left;
        reading.right = r.right;
        return;
    }
    prefetchWords(x);
    const RegisterIndex& ix = indexOf(x.lookUps);
    // note [one look-up per term]
    // An operator term holds a blank: unless some code does, it is no code, and
    // the look-up misses without hashing it.
    const bool blank = term.find(' ') != std::string_view::npos;
    LookedUp found = look(x, ix, blank && !ix.blankInSomeCode ? 0 : hashOfText(term), blank,
                          [&](std::string_view code) { return code == term; });
    context.wholeFound = found;
    if (isBasicFeatureLine(x, ix, found)) {
        reading.whole = Decision::Keep;
        out += term;
        return;
    }
    char32_t op = operationAt(g, 0);
    if (op == U' ') {
        if (!found.found)
            failOrKeep(x, makeFailure(FailureKind::CodeMissing, placeAt(g, nextWord(g, 0)),
                                      std::string(term)));
        reading.whole = !found.found || typeFound(x, ix, found) == LineType::Composite
                            ? Decision::Keep
                            : Decision::Blank;
        out += reading.whole == Decision::Keep ? term : " ";
        return;
    }
    reading.whole = Decision::Operator;
    reading.op = op;
    reading.left = leftTermOf(g);
    expandNode(x, reading.left);
    reading.right = rightTermOf(g);
    if (!context.collect) endReading(g); // the checker looks at the reading afterwards
    expandNode(x, reading.right);
    // The second pass.
    out += op == U'+' ? "PLUS(" : "DOT(";
    renderOperand(x, reading.left, out);
    out += ", ";
    renderOperand(x, reading.right, out);
    out += ')';
}

} // namespace

// The checker takes the plain way too when its index has no line that stops a
// search: then a plain term has no failure to keep and no reading to warn of but
// its ignored words.
void extendedAssign(std::string_view term, ExpansionContext& context, std::string& out,
                    Place origin) {
    context.reach = 0;
    context.plain = expandPlain(term, context, out);
    if (!context.plain) expandRead(term, context, out, origin);
}

void extendedAssign(std::string_view term, ExpansionContext& context, std::string& out,
                    NumberedLine line) {
    context.reach = 0;
    context.plain = expandPlain(term, context, out);
    if (!context.plain) expandRead(term, context, out, placeOf(line, term));
}

std::string extendedAssign(std::string_view term, const std::string& registerPath) {
    ExpansionContext context = expansionOf(registerPath);
    std::string out;
    extendedAssign(term, context, out);
    return out;
}
