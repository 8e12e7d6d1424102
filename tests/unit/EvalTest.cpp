#include "terms/Eval.hpp"

#include "TestSupport.hpp"

#include <gtest/gtest.h>

namespace {

// Translations and stops of ground terms; of two faults the left one decides.
TEST(Eval, table) {
    const struct {
        const char* term;
        const char* want; // the expression text or the failure message
    } rows[] = {
        {"0", "zeroSet"},
        {"1", "oneSet"},
        {"+ 0 1", "PLUS(zeroSet, oneSet)"},
        {". 1 0", "DOT(oneSet, zeroSet)"},
        {". 1 + 0 1", "DOT(oneSet, PLUS(zeroSet, oneSet))"},
        {"+ . 0 1 1", "PLUS(DOT(zeroSet, oneSet), oneSet)"},
        {". + 0 1 + 1 0", "DOT(PLUS(zeroSet, oneSet), PLUS(oneSet, zeroSet))"},
        {"+  0 1", "PLUS(zeroSet, oneSet)"},
        {"+0 1", "PLUS(zeroSet, oneSet)"},
        {"+ 0  1", "PLUS(zeroSet, oneSet)"},
        {"+ 0 1 1", "PLUS(zeroSet, oneSet)"},
        {"+ .  0 1 1", "PLUS(DOT(zeroSet, zeroSet), oneSet)"},
        {"0 ", msg::evalPattern},
        {" 1", msg::evalPattern},
        {"01", msg::evalPattern},
        {"", msg::evalPattern},
        {" + 0 1", msg::evalPattern},
        {"+ 2 1", msg::evalPattern},
        {"+ 0", msg::headOfEmpty},
        {"+", msg::headOfEmpty},
        {"+ ", msg::headOfEmpty},
        {"+ 2", msg::evalPattern}, // the left operand decides
        {"+ 0 2", msg::evalPattern},
        {"+ x-y 0", msg::evalPattern},
        {"+ +0 1", msg::headOfEmpty}, // note [operator atoms]
        {"+ +01 1", msg::evalPattern},
        {"+ ++0 1", msg::headOfEmpty},
        {"+ +. 1", msg::headOfEmpty},
        {"+ +a 1", msg::evalPattern},
        {"2", msg::evalPattern},
    };
    for (const auto& r : rows) {
        std::string got;
        std::string failure = failureOf([&] { got = eval(r.term); });
        EXPECT_EQ(failure.empty() ? got : failure, r.want) << "term «" << r.term << "»";
    }
}

} // namespace
