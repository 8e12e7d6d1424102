#include "expansion/Assign.hpp"
#include "expansion/ExtendedAssign.hpp"

#include "TestSupport.hpp"
#include "base/Text.hpp"
#include "register/Register.hpp"
#include "register/RegisterLine.hpp"
#include "terms/Eval.hpp"
#include "terms/TermAnalysis.hpp"

#include <gtest/gtest.h>
#include <random>

namespace {

const char* const workedRegister =
    "(a,0,a,first)\n(b,0,b,second)\n(c,0,c,third)\n(k,1,+ a b,either)\n"
    "(d,3,d,other)\n(x_1,0,x_1,low)\n(UP,0,UP,upper)\n(+ a b,0,odd,code)\n"
    "(+ a \u00e9,0,s,accent)\n(+ a \u00df,0,s,sharp)\n(\u00e9t\u00e9,0,e,summer)\n";

std::string expanded(const std::string& term, ExpansionContext& context) {
    std::string out;
    extendedAssign(term, context, out);
    return out;
}

// Expansion against a register with basic a, b, c, x_1, UP, ß, été and the odd
// code «+ a b», composite k, and d of type 3; from memory and from the file.
TEST(ExtendedAssign, table) {
    TempDir dir;
    const std::string reg = dir.file("reg");
    writeFile(reg, workedRegister);
    ExpansionContext context = expansionOf(registerTextOf(workedRegister));
    const struct {
        const char* term;
        const char* want; // the expression or the failure message
    } rows[] = {
        {"+ a b", "+ a b"}, // the whole term is a basic code
        {"+ a c", "PLUS(A, C)"},
        {". a + b c", "DOT(A, PLUS(B, C))"},
        {". + a c c", "DOT(PLUS(A, C), C)"},
        {"+ a k", "PLUS(A, K)"},
        {"a", "a"},
        {"k", "k"},
        {"d", " "},
        {"+ a d", "PLUS(A,  )"},
        {". d a", "DOT( , A)"},
        {"+ c 1", "PLUS(C, ONESET)"},
        {"1", "oneSet"},
        {"+ 0 1", "PLUS(zeroSet, oneSet)"},
        {". k c", "DOT(K, C)"},
        {"+ x_1 UP", "PLUS(X_1, UP)"},
        {"+ \u00e9t\u00e9 \u00df", msg::evalPattern}, // no variable: other letters are never one
        {". c + a \u00e9", "DOT(C, + A \u00c9)"},     // operands that are codes come in upper case
        {". c + a \u00df", "DOT(C, + A \u00df)"},
        {"+ c . 1 + 0 c", "PLUS(C, DOT(ONESET, PLUS(ZEROSET, C)))"},
        {"+  c a", "PLUS(C, C)"}, // the right operand found by position
        {"+ c  a", "PLUS(C, A)"},
        {"+ c a b", "PLUS(C, A)"}, // text after the term ignored
        {"+ c a +", "PLUS(C, A)"}, // ... even an operator without operands
        {"+ c a . b", "PLUS(C, A)"},
        {"+ + 0 1 c", "PLUS(PLUS(ZEROSET, ONESET), C)"}, // a ground operand, then a code
        // Failures: a missing code, an untranslatable ground operand, a missing
        // operand, a term of blanks; the look-ups come before the translations.
        {"+ a z", msg::tailOfEmpty},
        {"A", msg::tailOfEmpty},
        {"+ 2 z", msg::tailOfEmpty},
        {"+ 2 a", msg::evalPattern},
        {"+ 2 . 0 z", msg::tailOfEmpty},
        {"+ . 2 a +0 c", msg::evalPattern},
        {". +0 a", msg::headOfEmpty}, // note [operator atoms]
        {"+ c", msg::headOfEmpty},
        {"  ", msg::headOfEmpty},
        {"", msg::evalPattern},
        {"2", msg::evalPattern},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(outcome([&] { return expanded(r.term, context); }), r.want)
            << "term «" << r.term << "»";
        EXPECT_EQ(outcome([&] { return extendedAssign(r.term, reg); }), r.want)
            << "term «" << r.term << "»";
    }
}

TEST(Assign, firstLineWinsAndTypeIsExact) {
    TempDir dir;
    const std::string reg = dir.file("reg");
    writeFile(reg, "(a,0,a,x)\n(b,1,a,x)\n(c,1,a,x)\n(c,0,a,x)\n(e, 0,a,x)\n(f,2,a,x)\n");
    RegisterLookUp lookUps{openRegisterText(reg), {}, {}};
    const struct {
        const char* name;
        const char* want;
    } rows[] = {{"a", "a"}, {"b", " "}, {"c", " "},
                {"e", " "}, {"f", " "}, {"A", msg::tailOfEmpty}};
    for (const auto& r : rows) {
        EXPECT_EQ(outcome([&] { return assign(r.name, reg); }), r.want) << r.name;
        EXPECT_EQ(outcome([&] { return assign(r.name, lookUps); }), r.want) << r.name;
    }
}

// A word-for-word expansion over the literal look-ups, each reading the register
// file from its first line; translations of ground terms are kept for the end.
struct Segment {
    bool ground;
    std::string text;
    unsigned depth;
};

std::vector<Segment> literalExpand(const std::string& t, const std::string& reg) {
    if (isGroundTerm(t)) return {{true, t, 0}};
    if (isOnlyBasicFeatureName(t, reg)) return {{false, assign(t, reg), 0}};
    std::string op = getOperation(t);
    if (op == "+" || op == ".") {
        std::vector<Segment> left = literalExpand(getLeftTerm(t), reg);
        std::vector<Segment> right = literalExpand(getRightTerm(t), reg);
        std::vector<Segment> out{{false, op == "+" ? "PLUS(" : "DOT(", 0}};
        for (Segment s : left)
            out.push_back({s.ground, s.text, s.depth + 1});
        out.push_back({false, ", ", 0});
        for (Segment s : right)
            out.push_back({s.ground, s.text, s.depth + 1});
        out.push_back({false, ")", 0});
        return out;
    }
    RegisterHandle h = readRegister(reg);
    std::string line = getRegisterLine(h, t);
    std::string_view type = getRegisterLineType(line);
    return {{false, type == "1" || type == "2" ? t : " ", 0}};
}

std::string literalExtendedAssign(const std::string& t, const std::string& reg) {
    std::string out;
    for (const Segment& s : literalExpand(t, reg)) {
        std::string text = s.ground ? eval(s.text) : s.text;
        for (unsigned i = 0; i < s.depth; ++i)
            text = upperCase(text);
        out += text;
    }
    return out;
}

// Random registers and terms: the run's expansion gives what the literal one
// gives, failures and their order included.
TEST(ExtendedAssign, agreesWithTheLiteralExpansion) {
    TempDir dir;
    const std::string reg = dir.file("reg");
    const char* codes[] = {"a", "b", "k", "d", "\u00e9", "+ a b", "x", "f12", "abcdefghij"};
    const char* types[] = {"0", "1", "2", "3", " 0", "0", "0"};
    // The words of plain terms first (operators, and codes of letters then
    // digits, one longer than 8 bytes), then words that are not.
    const char* words[] = {"+",          ".", "+", ".", "a",      "b",  "k",   "d",  "x", "f12",
                           "abcdefghij", "0", "1", "2", "\u00e9", "+0", "a1b", "1a", "_"};
    std::mt19937 rng(42);
    for (int round = 0; round < 600; ++round) {
        // Every other register has no code with a blank and no line that stops
        // a search, so that plain terms take their own path (note [plain terms]).
        const bool plain = round % 2 == 1;
        std::string content;
        std::size_t lines = (plain ? 4 : 1) + rng() % 7;
        for (std::size_t i = 0; i < lines; ++i) {
            if (!plain && rng() % 25 == 0) {
                content += rng() % 2 ? "\n" : "a,0,a,x\n";
                continue;
            }
            const std::size_t code = rng() % 9;
            content += std::string("(") + codes[plain && code == 5 ? 6 : code] + "," +
                       types[rng() % 7] + ",e,x)\n";
        }
        writeFile(reg, content);
        // One context for the register's terms, as in a run: the first term
        // builds the index, the plain ones after it take their own path (note
        // [plain terms]).
        ExpansionContext context = expansionOf(registerTextOf(content));
        std::vector<std::string> terms(20);
        for (std::string& term : terms) {
            std::size_t n = 1 + rng() % 9;
            for (std::size_t i = 0; i < n; ++i) {
                if (i > 0) term += !plain && rng() % 8 == 0 ? "  " : " ";
                term += words[rng() % (plain && rng() % 5 != 0 ? 11 : 19)]; // operators and codes
            }
        }
        std::vector<std::string> others(terms.size());
        for (std::size_t k = 0; k < terms.size(); ++k) {
            const std::string& term = terms[k];
            // The next term or the one after it prepared, or none, as a run's
            // chunks do, or another term of the same shape and other codes:
            // what was prepared for another term is never taken.
            const std::size_t ahead = rng() % 4;
            if (ahead == 3) {
                for (char c : term)
                    others[k] += c == 'a'   ? 'b'
                                 : c == 'b' ? 'k'
                                 : c == 'k' ? 'd'
                                 : c == 'd' ? 'x'
                                 : c == 'x' ? 'a'
                                            : c;
                prepareTerm(others[k], context);
            } else if (ahead > 0 && k + ahead < terms.size()) {
                prepareTerm(terms[k + ahead], context);
            }
            SCOPED_TRACE("term «" + term + "» in\n" + content);
            std::string want, got;
            std::string wantFailure = failureOf([&] { want = literalExtendedAssign(term, reg); });
            std::string gotFailure = failureOf([&] { got = expanded(term, context); });
            ASSERT_EQ(gotFailure, wantFailure);
            ASSERT_EQ(got, want);
        }
    }
}

// A chain of alternatives as long as tools write them.
TEST(ExtendedAssign, longChains) {
    const std::size_t n = 100000;
    std::string right, left;
    for (std::size_t i = 0; i < n; ++i)
        right += "+ a ";
    right += "k";
    for (std::size_t i = 0; i < n; ++i)
        left += ". ";
    left += "a";
    for (std::size_t i = 0; i < n; ++i)
        left += " 1";
    ExpansionContext context = expansionOf(registerTextOf("(a,0,a,x)\n(k,1,a,x)\n"));
    std::string r = expanded(right, context);
    EXPECT_EQ(r.size(), n * std::string("PLUS(A, )").size() + 1);
    EXPECT_EQ(r.substr(r.size() - n - 5), "(A, K" + std::string(n, ')'));
    EXPECT_EQ(r.substr(0, 18), "PLUS(A, PLUS(A, PL");
    std::string l = expanded(left, context);
    EXPECT_EQ(l.substr(0, 12), "DOT(DOT(DOT(");
    EXPECT_EQ(l.substr(l.size() - 16), "ONESET), ONESET)");
    // The words of a long term are kept neither ahead nor for the terms after
    // it (note [prepared terms]): a run of such terms would hold them all.
    EXPECT_EQ(expanded(right, context), r);
    ASSERT_TRUE(context.plain);
    const std::string next = "+ a k";
    prepareTerm(right, context);
    prepareTerm(next, context);
    EXPECT_EQ(expanded(next, context), "PLUS(A, K)");
    for (const auto& p : context.prepared)
        EXPECT_LE(p.words.capacity(), 4096u);
}

} // namespace
