// Fuzz target: term analysis and translation on one term. Every input must end
// in a result or one of the run's stops; short terms must agree with the
// word-for-word reading.
#include "LiteralTerms.hpp"
#include "TestSupport.hpp"
#include "base/Failure.hpp"
#include "base/Text.hpp"
#include "terms/Eval.hpp"
#include "terms/TermAnalysis.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string t(reinterpret_cast<const char*>(data), size);
    if (!isValidUtf8(t)) return 0; // lines are checked when they are read
    std::string take = outcome([&] { return takeTerm(t); });
    std::string left = outcome([&] { return getLeftTerm(t); });
    std::string right = outcome([&] { return getRightTerm(t); });
    std::string translated = outcome([&] { return eval(t); });
    outcome([&] { return getVars(t); });
    outcome([&] { return getOperation(t); });
    if (countChars(t) <= 14) {
        std::u32string chars = toChars(t);
        auto plain = [&](auto f) { return outcome([&] { return fromChars(f(chars)); }); };
        if (take != plain(literal::takeTerm)) std::abort();
        if (left != plain(literal::leftTerm)) std::abort();
        if (translated != plain(literal::eval)) std::abort();
        if (outcome([&] { return getOperation(t); }) != " " && right != plain(literal::rightTerm))
            std::abort();
    }
    return 0;
}
