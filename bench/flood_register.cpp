// Writes a register of N basic features and N composites that name them, whose
// codes all start the same chain of the look-up table that fagen used before
// its hash was keyed (a fixed polynomial base, a fixed mixer), or, with
// "random", codes of the same shape drawn at random. The keyed hash must make
// both cost the same.
//   flood_register N colliding|random
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t fixedBase = 0x9E3779B97F4A7C15ull | 1;

std::uint64_t fixedHash(const std::string& code) {
    std::uint64_t h = 0;
    for (unsigned char c : code)
        h = h * fixedBase + c;
    return h;
}

// The slot the former table gave a code's hash, for a table of `slots` slots.
std::size_t fixedSlot(std::uint64_t hash, std::size_t slots) {
    __extension__ using Wide = unsigned __int128;
    hash |= 1;
    hash ^= hash >> 31;
    hash *= 0xBF58476D1CE4E5B9ull;
    hash ^= hash >> 29;
    return static_cast<std::size_t>((static_cast<Wide>(hash) * slots) >> 64);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: flood_register N colliding|random\n");
        return 2;
    }
    const std::size_t n = std::strtoull(argv[1], nullptr, 10);
    const bool colliding = std::string(argv[2]) == "colliding";
    const std::size_t slots = 2 * n * 3 / 2 + 2; // the former table for 2N lines
    const char letters[] = "abcdefghijklmnopqrstuvwxyz";
    std::mt19937_64 rng(7);
    // Codes of 12 letters: a random prefix of 6, then a suffix of 6 tried until
    // the code lands in slot 0 (prefix hash * base^6 + suffix hash).
    std::vector<std::string> suffixes;
    std::vector<std::uint64_t> suffixHash;
    for (int i = 0; i < 1 << 16; ++i) {
        std::string s;
        for (int k = 0; k < 6; ++k)
            s += letters[rng() % 26];
        suffixes.push_back(s);
        suffixHash.push_back(fixedHash(s));
    }
    std::uint64_t power = 1;
    for (int k = 0; k < 6; ++k)
        power *= fixedBase;
    std::vector<std::string> codes;
    while (codes.size() < n) {
        std::string prefix = "c";
        for (int k = 0; k < 5; ++k)
            prefix += letters[rng() % 26];
        if (!colliding) {
            codes.push_back(prefix + suffixes[rng() % suffixes.size()]);
            continue;
        }
        std::uint64_t head = fixedHash(prefix) * power;
        for (std::size_t i = 0; i < suffixes.size() && codes.size() < n; ++i)
            if (fixedSlot(head + suffixHash[i], slots) == 0) codes.push_back(prefix + suffixes[i]);
    }
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        out += "(" + codes[i] + ",0," + codes[i] + ",basic)\n";
    for (std::size_t i = 0; i < n; ++i)
        out += "(k" + std::to_string(i) + ",1,+ " + codes[i] + " " + codes[(i + 1) % n] +
               ",composite)\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
