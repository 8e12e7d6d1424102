#pragma once
// A keyed hash of texts, as characters (code points). It is a polynomial modulo
// the prime 2^61 - 1 whose base is drawn at random once per process, so no
// register can be written to make codes collide (note [keyed hash]). Hashes
// compose: a term node's hash is made from its operands' without rendering it.
#include <cstdint>
#include <string_view>

struct TextHash {
    std::uint64_t hash = 0;
    std::uint64_t power = 1; // base^(number of characters)
};

inline constexpr std::uint64_t hashPrime = (std::uint64_t{1} << 61) - 1;

// The process's random base, in [2^32, 2^61 - 1).
std::uint64_t hashBase();

inline std::uint64_t mulMod(std::uint64_t a, std::uint64_t b) {
    __extension__ using Wide = unsigned __int128;
    Wide p = static_cast<Wide>(a) * b;
    std::uint64_t s =
        (static_cast<std::uint64_t>(p) & hashPrime) + static_cast<std::uint64_t>(p >> 61);
    return s >= hashPrime ? s - hashPrime : s;
}

inline std::uint64_t addMod(std::uint64_t a, std::uint64_t b) {
    std::uint64_t s = a + b;
    return s >= hashPrime ? s - hashPrime : s;
}

// The hash of the text extended by one character, or by a text with hash b.
// Characters count from 1, so leading NULs still change the hash.
inline TextHash hashAppend(TextHash a, char32_t c, std::uint64_t base) {
    return {addMod(mulMod(a.hash, base), std::uint64_t{c} + 1), mulMod(a.power, base)};
}
inline TextHash hashAppend(TextHash a, TextHash b) {
    return {addMod(mulMod(a.hash, b.power), b.hash), mulMod(a.power, b.power)};
}

// The hash of code points (with its power, for composing).
TextHash hashChars(std::u32string_view chars);
// The same hashes without their power: what a look-up needs.
std::uint64_t hashOfText(std::string_view utf8);
std::uint64_t hashOfChars(std::u32string_view chars);
