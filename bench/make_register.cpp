// Writes a register of N lines to standard output: 60% basic features, 40%
// composites of types 1 and 2 whose expressions are random terms of about seven
// words over the codes of the whole register and the constants; with D > 0, one
// more composite whose expression is a chain of D alternatives.
//   make_register N [D] [seed]
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

std::string code(std::size_t i) {
    return std::string("f").append(std::to_string(i));
}

// A random term of `operators` operators over the register's basic codes (a
// composite may only name a basic feature, or a composite above it, so every
// run succeeds) and the constants.
std::string term(std::mt19937_64& rng, std::size_t operators, std::size_t basics) {
    if (operators == 0) {
        unsigned pick = rng() % 10;
        if (pick == 0) return "0";
        if (pick == 1) return "1";
        return code(rng() % basics);
    }
    std::size_t left = rng() % operators;
    std::string t = rng() % 2 ? "+ " : ". ";
    t.append(term(rng, left, basics)).append(" ");
    return t.append(term(rng, operators - 1 - left, basics));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_register N [D] [seed]\n");
        return 2;
    }
    std::size_t n = std::strtoull(argv[1], nullptr, 10);
    std::size_t chain = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 0;
    std::mt19937_64 rng(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1);
    std::size_t basics = n * 6 / 10 > 0 ? n * 6 / 10 : 1;
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        if (i < basics) {
            out += "(" + code(i) + ",0," + code(i) + ",basic feature " + std::to_string(i) + ")\n";
        } else {
            std::string type = rng() % 2 ? "1" : "2";
            out += "(" + code(i) + "," + type + "," + term(rng, 3, basics) + ",composite)\n";
        }
        if (out.size() > (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    if (chain > 0) {
        out += "(chain,1,";
        for (std::size_t i = 0; i < chain; ++i)
            out += "+ " + code(i % basics) + " ";
        out += "1,a long chain of alternatives)\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
