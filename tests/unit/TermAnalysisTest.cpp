#include "terms/TermAnalysis.hpp"

#include "LiteralTerms.hpp"
#include "TestSupport.hpp"
#include "terms/Eval.hpp"
#include "terms/StringParsing.hpp"

#include <gtest/gtest.h>
#include <random>

namespace {

struct Row {
    const char* term;
    const char* operation;
    const char* left;
    const char* right;
    const char* take;
    const char* vars;
};

const char* const stop = "Prelude.head: empty list";

// The worked examples and the quirks callers see: the right operand found by
// position, text after the first term ignored, only 0x20 skipped by the readers.
const Row rows[] = {
    {"+ a b", "+", "a", "b", "+ a b", "a b "},
    {". a + b c", ".", "a", "+ b c", ". a + b c", "a b c "},
    {". + a b c", ".", "+ a b", "c", ". + a b c", "a b c "},
    {"+ . 0 1 1", "+", ". 0 1", "1", "+ . 0 1 1", ""},
    {"  x1", " ", "x1", nullptr, "x1", "x1 "},
    {"+ a b c", "+", "a", "b", "+ a b", "a b c "},
    {"+ a  b", "+", "a", "b", "+ a b", "a b "},
    {"+a b", " ", "+a", nullptr, "+a", "b "},
    {"0", " ", "0", nullptr, "0", ""},
    {"", stop, stop, stop, stop, ""},
    {"+  a b", "+", "a", "a", "+ a a", "a b "},
    {". +  a b c", ".", "+ a a", "b", ". + a a b", "a b c "},
    {"\t+ a b", "+", "+ a b", stop, stop, "a b "},
    {"+ a", "+", "a", stop, stop, "a "},
    {"+", "+", stop, stop, stop, ""},
    {"+ ", "+", stop, stop, stop, ""},
    {"a b", " ", "a", nullptr, "a", "a b "},
    {"  . a b", ".", "a", "b", ". a b", "a b "},
    {" ", stop, stop, stop, stop, stop},
    {"\t", stop, stop, nullptr, stop, stop},
    {"+\u00a0a b", "+", "a", "b", "+ a b", "a b "},
    {"+ \u00e9 b", "+", "\u00e9", "b", "+ \u00e9 b", "b "},
    {"+  \u00e9 b", "+", "\u00e9", "\u00e9", "+ \u00e9 \u00e9", "b "},
    {"+ a . b1 a", "+", "a", ". b1 a", "+ a . b1 a", "a b1 a "},
    {"+ 2 x-y", "+", "2", "x-y", "+ 2 x-y", ""},
};

TEST(TermAnalysis, workedExamplesAndQuirks) {
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string("term «") + r.term + "»");
        std::string t = r.term;
        EXPECT_EQ(outcome([&] { return getOperation(t); }), r.operation);
        EXPECT_EQ(outcome([&] { return getLeftTerm(t); }), r.left);
        if (r.right) {
            EXPECT_EQ(outcome([&] { return getRightTerm(t); }), r.right);
        }
        EXPECT_EQ(outcome([&] { return takeTerm(t); }), r.take);
        EXPECT_EQ(outcome([&] { return getVars(t); }), r.vars);
    }
}

TEST(TermAnalysis, variablesAndGroundTerms) {
    EXPECT_EQ(getListOfVars("+ a . b1 a"), (std::vector<std::string>{"a", "b1", "a"}));
    EXPECT_EQ(getListOfVars("+ 0 1"), std::vector<std::string>{});
    EXPECT_TRUE(isGroundTerm(""));
    EXPECT_TRUE(isGroundTerm("+ 0 1"));
    EXPECT_TRUE(isGroundTerm("+ 2 x-y"));
    EXPECT_FALSE(isGroundTerm("+ 0 x"));
    EXPECT_FALSE(isGroundTerm("\u00e9 x"));
    EXPECT_TRUE(isGroundTerm("\u00e9"));
    EXPECT_EQ(failureOf([] { isGroundTerm(" "); }), msg::headOfEmpty);
    EXPECT_EQ(failureOf([] { isGroundTerm("\u3000\t"); }), msg::headOfEmpty);
}

TEST(StringParsing, classes) {
    const struct {
        std::u32string text;
        bool letters, numbers, lettersNumbers;
    } rows[] = {
        {U"", true, true, true},         {U"a", true, false, true},
        {U"Motor2", false, false, true}, {U"_x", true, false, true},
        {U"a_b", true, false, true},     {U"Ab12", false, false, true},
        {U"x1y", false, false, false},   {U"1x", false, false, false},
        {U"0", false, true, false},      {U"a-b", false, false, false},
        {U"+", false, false, false},     {U"_", true, false, true},
        {U"a b", false, false, false},   {U"\u00e9", false, false, false},
        {U"ab12", false, false, true},   {U"a1b", false, false, false},
        {U"12", false, true, false},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(isLetters(r.text), r.letters);
        EXPECT_EQ(isNumbers(r.text), r.numbers);
        EXPECT_EQ(isLettersNumbers(r.text), r.lettersNumbers);
    }
    EXPECT_TRUE(isConstant(U'1'));
    EXPECT_FALSE(isConstant(U'2'));
    EXPECT_TRUE(isDigit(U'2'));
    EXPECT_FALSE(isLetter(U'\u00e9'));
    EXPECT_FALSE(isDigit(U'\u0663'));
}

// Random texts over the characters that matter, against the literal reading:
// same result or same failure, quirks included.
TEST(TermAnalysis, agreesWithTheLiteralReadingOnRandomTexts) {
    const std::u32string alphabet = U"+.+.ab01  2\t\u00a0\u00e9";
    std::mt19937 rng(20261209);
    for (int i = 0; i < 20000; ++i) {
        std::u32string t;
        std::size_t len = rng() % 14;
        for (std::size_t k = 0; k < len; ++k)
            t += alphabet[rng() % alphabet.size()];
        std::string s = fromChars(t);
        SCOPED_TRACE("text «" + s + "»");
        auto ref = [&](auto f) { return outcome([&] { return fromChars(f(t)); }); };
        ASSERT_EQ(outcome([&] { return takeTerm(s); }), ref(literal::takeTerm));
        ASSERT_EQ(outcome([&] { return getLeftTerm(s); }), ref(literal::leftTerm));
        if (outcome([&] { return getOperation(s); }) != " ") {
            ASSERT_EQ(outcome([&] { return getRightTerm(s); }), ref(literal::rightTerm));
        }
        ASSERT_EQ(outcome([&] { return eval(s); }), ref(literal::eval));
    }
}

std::string randomNormalTerm(std::mt19937& rng, int depth, bool ground) {
    if (depth == 0 || rng() % 3 == 0) {
        static const char* atoms[] = {"0", "1", "a", "b1", "Motor", "x_2"};
        return atoms[rng() % (ground ? 2 : 6)];
    }
    std::string op = rng() % 2 ? "+" : ".";
    std::string l = randomNormalTerm(rng, depth - 1, ground);
    return op + " " + l + " " + randomNormalTerm(rng, depth - 1, ground);
}

std::string referenceEval(const std::string& t, std::size_t& pos) {
    char c = t[pos];
    pos += 2;
    if (c == '0' || c == '1') return c == '0' ? "zeroSet" : "oneSet";
    std::string l = referenceEval(t, pos);
    std::string r = referenceEval(t, pos);
    return (c == '+' ? "PLUS(" : "DOT(") + l + ", " + r + ")";
}

// A term in normal form reads as itself; a ground one translates as a plain
// recursive descent does.
TEST(TermAnalysis, normalFormsReadAsThemselves) {
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) {
        std::string t = randomNormalTerm(rng, 8, i % 2 == 0);
        ASSERT_EQ(takeTerm(t), t);
        ASSERT_EQ(takeTerm(t + " trailing words"), t);
        if (i % 2 == 0) {
            std::size_t pos = 0;
            ASSERT_EQ(eval(t), referenceEval(t, pos)) << t;
        }
    }
}

std::string rightNested(std::size_t depth, const char* leaf) {
    std::string t;
    for (std::size_t i = 0; i < depth; ++i)
        t += std::string("+ ") + leaf + " ";
    return t + leaf;
}

std::string leftNested(std::size_t depth, const char* leaf) {
    std::string t;
    for (std::size_t i = 0; i < depth; ++i)
        t += ". ";
    t += leaf;
    for (std::size_t i = 0; i < depth; ++i)
        t += std::string(" ") + leaf;
    return t;
}

// Deep terms: no recursion on the depth, no repeated work.
TEST(TermAnalysis, deepTermsInBothDirections) {
    const std::size_t depth = 100000;
    for (const std::string& t : {rightNested(depth, "a"), leftNested(depth, "a")}) {
        EXPECT_EQ(takeTerm(t), t);
        EXPECT_EQ(getVars(t).size(), 2 * (depth + 1));
    }
    EXPECT_EQ(getRightTerm(rightNested(depth, "a")), rightNested(depth - 1, "a"));
    EXPECT_EQ(getLeftTerm(leftNested(depth, "a")), leftNested(depth - 1, "a"));
    std::string e = eval(rightNested(depth, "1"));
    EXPECT_EQ(e.size(), depth * std::string("PLUS(ONESET, )").size() + 6);
    EXPECT_EQ(e.substr(0, 16), "PLUS(oneSet, PLU");
    EXPECT_EQ(eval(leftNested(depth, "0")).substr(0, 8), "DOT(DOT(");
}

} // namespace
