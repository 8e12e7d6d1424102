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

__extension__ using Wide = unsigned __int128;

// base^0 to base^8.
const std::uint64_t* basePowers() {
    static const auto powers = [] {
        std::array<std::uint64_t, 9> p{1};
        for (std::size_t i = 1; i < p.size(); ++i)
            p[i] = mulMod(p[i - 1], hashBase());
        return p;
    }();
    return powers.data();
}

// A sum of up to eight products (each below 2^68) modulo 2^61 - 1.
std::uint64_t reduceWide(Wide v) {
    const Wide high = v >> 61;
    std::uint64_t s = (static_cast<std::uint64_t>(v) & hashPrime) +
                      (static_cast<std::uint64_t>(high) & hashPrime) +
                      static_cast<std::uint64_t>(high >> 61);
    s = (s & hashPrime) + (s >> 61);
    return s >= hashPrime ? s - hashPrime : s;
}

} // namespace

std::uint64_t hashOfText(std::string_view utf8) {
    const std::uint64_t* power = basePowers();
    std::uint64_t h = 0;
    std::size_t pos = 0;
    const std::size_t n = utf8.size();
    while (pos < n) {
        // Up to eight ASCII characters a step: their products with the powers of
        // the base are independent and summed before one reduction.
        std::size_t k = 0;
        while (k < 8 && pos + k < n && static_cast<unsigned char>(utf8[pos + k]) < 0x80)
            ++k;
        if (k == 0) {
            char32_t c = nextChar(utf8, pos);
            h = addMod(mulMod(h, power[1]), std::uint64_t{c} + 1);
            continue;
        }
        Wide sum = 0;
        for (std::size_t i = 0; i < k; ++i)
            sum += static_cast<Wide>(static_cast<unsigned char>(utf8[pos + i]) + 1u) *
                   power[k - 1 - i];
        h = addMod(h == 0 ? 0 : mulMod(h, power[k]), reduceWide(sum));
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
