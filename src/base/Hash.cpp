#include "base/Hash.hpp"

#include "base/Text.hpp"

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

std::uint64_t hashOfText(std::string_view utf8) {
    const std::uint64_t base = hashBase();
    static const std::uint64_t base2 = mulMod(base, base);
    std::uint64_t h = 0;
    std::size_t pos = 0;
    // Two ASCII characters a step: h * base^2 + c1 * base + c2, the products apart.
    while (pos + 1 < utf8.size() &&
           ((static_cast<unsigned char>(utf8[pos]) | static_cast<unsigned char>(utf8[pos + 1])) &
            0x80) == 0) {
        std::uint64_t c1 = static_cast<unsigned char>(utf8[pos]) + 1u,
                      c2 = static_cast<unsigned char>(utf8[pos + 1]) + 1u;
        h = addMod(addMod(mulMod(h, base2), mulMod(c1, base)), c2);
        pos += 2;
    }
    while (pos < utf8.size()) {
        auto b = static_cast<unsigned char>(utf8[pos]);
        char32_t c = b < 0x80 ? (++pos, b) : nextChar(utf8, pos);
        h = addMod(mulMod(h, base), std::uint64_t{c} + 1);
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
