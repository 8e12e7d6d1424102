#include "base/Hash.hpp"

#include "base/Text.hpp"

#include <array>
#include <chrono>
#include <sys/random.h>
#include <unistd.h>

// note [keyed hash]: a fixed base lets a register hold thousands of codes with one
// hash, and every insert into the look-up index then walks one chain. The base
// is drawn from the kernel's random source once per process; should that fail,
// the clock and the process id still keep it unknown to whoever wrote the
// register. Modulo a prime, two different texts of up to n characters share a
// hash for at most n of the 2^61 bases.
std::uint64_t hashBase() {
    static const std::uint64_t base = [] {
        std::uint64_t seed = 0;
        if (::getrandom(&seed, sizeof seed, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof seed)) {
            seed = static_cast<std::uint64_t>(
                       std::chrono::steady_clock::now().time_since_epoch().count()) *
                       0x9E3779B97F4A7C15ull ^
                   static_cast<std::uint64_t>(::getpid());
        }
        return (std::uint64_t{1} << 32) + seed % (hashPrime - (std::uint64_t{1} << 32));
    }();
    return base;
}

namespace {

// What the hash of ASCII text needs, made once per process: base^0 to base^8,
// and ((c + 1) * base^j) mod p for every ASCII byte c and j < 8, so that up to
// eight ASCII characters are hashed with a look-up and an addition each.
struct HashTables {
    std::array<std::uint64_t, 9> powers{};
    std::array<std::array<std::uint64_t, 128>, 8> terms{};
};

const HashTables& hashTables() {
    static const HashTables tables = [] {
        HashTables t;
        t.powers[0] = 1;
        for (std::size_t i = 1; i < t.powers.size(); ++i)
            t.powers[i] = mulMod(t.powers[i - 1], hashBase());
        for (std::size_t j = 0; j < t.terms.size(); ++j)
            for (std::uint64_t c = 0; c < 128; ++c)
                t.terms[j][c] = mulMod(c + 1, t.powers[j]);
        return t;
    }();
    return tables;
}

// A sum of up to eight values below 2^61 - 1 (so below 2^64), modulo 2^61 - 1.
std::uint64_t reduceSum(std::uint64_t v) {
    const std::uint64_t s = (v & hashPrime) + (v >> 61);
    return s >= hashPrime ? s - hashPrime : s;
}

// The terms of k ASCII bytes (1 to 8), the last byte's power 0, unrolled.
std::uint64_t windowSum(const HashTables& t, const char* at, std::size_t k) {
    auto term = [&](std::size_t j) {
        return t.terms[j][static_cast<unsigned char>(at[k - 1 - j])];
    };
    std::uint64_t sum = 0;
    switch (k) {
    case 8:
        sum += term(7);
        [[fallthrough]];
    case 7:
        sum += term(6);
        [[fallthrough]];
    case 6:
        sum += term(5);
        [[fallthrough]];
    case 5:
        sum += term(4);
        [[fallthrough]];
    case 4:
        sum += term(3);
        [[fallthrough]];
    case 3:
        sum += term(2);
        [[fallthrough]];
    case 2:
        sum += term(1);
        [[fallthrough]];
    default:
        sum += term(0);
    }
    return sum;
}

} // namespace

std::uint64_t hashOfText(std::string_view utf8) {
    const HashTables& t = hashTables();
    const std::size_t n = utf8.size();
    // Most codes: one window of ASCII bytes.
    if (n - 1 < 8 && !(bytesAsWord(utf8.data(), n) & 0x8080808080808080ull))
        return reduceSum(windowSum(t, utf8.data(), n));
    std::uint64_t h = 0;
    std::size_t pos = 0;
    while (pos < n) {
        // Up to eight ASCII characters a step: their terms are independent and
        // summed before one reduction.
        std::size_t k = n - pos < 8 ? n - pos : 8;
        const char* at = utf8.data() + pos;
        if (bytesAsWord(at, k) & 0x8080808080808080ull) { // a byte that is not ASCII
            std::size_t ascii = 0;
            while (static_cast<unsigned char>(at[ascii]) < 0x80)
                ++ascii;
            k = ascii;
        }
        if (k == 0) {
            char32_t c = nextChar(utf8, pos);
            h = addMod(mulMod(h, t.powers[1]), std::uint64_t{c} + 1);
            continue;
        }
        h = addMod(h == 0 ? 0 : mulMod(h, t.powers[k]), reduceSum(windowSum(t, at, k)));
        pos += k;
    }
    return h;
}

std::uint64_t hashOfChars(std::u32string_view chars) {
    const std::uint64_t base = hashBase();
    std::uint64_t h = 0;
    for (char32_t c : chars)
        h = addMod(mulMod(h, base), std::uint64_t{c} + 1);
    return h;
}

TextHash hashChars(std::u32string_view chars) {
    const std::uint64_t base = hashBase();
    TextHash h;
    for (char32_t c : chars)
        h = hashAppend(h, c, base);
    return h;
}
