// Fuzz target: the column reader and the look-up's match rule on one line,
// against a plain reading of the column rule.
#include "TestSupport.hpp"
#include "base/Failure.hpp"
#include "register/Register.hpp"
#include "register/RegisterLine.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The column rule read plainly: strip, then either take or move on.
std::string plainColumn(int n, std::string t) {
    for (;;) {
        if (t.empty()) fail(FailureKind::ColumnText);
        if (t.front() == '(') {
            t.erase(0, 1);
        } else if (t.back() == ')') {
            t.pop_back();
        } else if (n == 1) {
            return t.substr(0, t.find(','));
        } else {
            std::size_t comma = t.find(',', 1);
            if (comma == std::string::npos) fail(FailureKind::ColumnMissing);
            t = t.substr(comma + 1);
            --n;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    for (int n = 1; n <= 5; ++n) {
        if (outcome([&] { return std::string(getColumn(n, line)); }) !=
            outcome([&] { return plainColumn(n, line); }))
            std::abort();
    }
    std::string code = outcome([&] { return std::string(lookUpCode({line, 1})); });
    std::size_t open = line.find('(');
    std::string want = open == std::string::npos
                           ? msg::tailOfEmpty
                           : line.substr(open + 1, line.find(',', open + 1) - open - 1);
    if (code != want) std::abort();
    return 0;
}
