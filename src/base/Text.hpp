#pragma once
// Text inside fagen is UTF-8 held in std::string. Everything that counts, compares
// or upper-cases text does so on characters (code points); these helpers are the
// only place that knows the encoding. Files are read and written in the encoding
// of the system's locale: UTF-8 (also under the C/POSIX locale) is used as is,
// any other codeset is converted at the border with iconv(3).
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

// Reads the locale from the environment; call once before any file is read.
void initTextEncoding();

bool isValidUtf8(std::string_view bytes);
// The offset of the first byte that is not valid UTF-8, or bytes.size().
std::size_t validUtf8Prefix(std::string_view bytes);
// Characters in text before p, a pointer into it: the column of p is this + 1.
std::size_t charsBefore(std::string_view text, const char* p);

// Decodes one character of valid UTF-8 at bytes[pos] and advances pos past it.
char32_t nextChar(std::string_view bytes, std::size_t& pos);
void appendChar(std::string& out, char32_t c);
std::u32string toChars(std::string_view utf8);
std::string fromChars(std::u32string_view chars);
std::size_t countChars(std::string_view utf8);
// countChars(utf8) > n, reading no more of the text than it needs.
bool hasMoreCharsThan(std::string_view utf8, std::size_t n);

// Up to 8 bytes as one word, the first in the lowest byte (on a little-endian
// machine), the rest 0s; nothing past them is read. Put together in registers:
// bytes stored one by one and read back as a word would wait for the stores.
inline std::uint64_t bytesAsWord(const char* bytes, std::size_t size) {
    if constexpr (std::endian::native == std::endian::little) {
        auto at = [&](std::size_t i) {
            return std::uint64_t{static_cast<unsigned char>(bytes[i])};
        };
        if (size >= 4) { // two 4-byte reads that overlap where size < 8
            std::uint32_t low, high;
            std::memcpy(&low, bytes, sizeof low);
            std::memcpy(&high, bytes + size - 4, sizeof high);
            return low | (std::uint64_t{high} << (8 * (size - 4)));
        }
        if (size == 0) return 0;
        return at(0) | at(size / 2) << (8 * (size / 2)) | at(size - 1) << (8 * (size - 1));
    } else {
        char padded[8] = {};
        for (std::size_t i = 0; i < size; ++i)
            padded[i] = bytes[i];
        std::uint64_t word;
        std::memcpy(&word, padded, sizeof word);
        return word;
    }
}

// Eight bytes with every one from «a» to «z» in upper case; the others as they were.
inline std::uint64_t upperCaseAscii(std::uint64_t bytes) {
    constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    const std::uint64_t low7 = bytes & ~highs;
    // Per byte, its high bit: below 0x80, at least «a», and not above «z».
    const std::uint64_t fromA = low7 + ones * (0x80 - 'a');
    const std::uint64_t pastZ = low7 + ones * (0x80 - 'z' - 1);
    const std::uint64_t lower = fromA & ~pastZ & ~bytes & highs;
    return bytes ^ (lower >> 2);
}

// a == b, without a call for texts of up to 16 bytes (codes, mostly).
inline bool sameBytes(std::string_view a, std::string_view b) {
    const std::size_t n = a.size();
    if (n != b.size()) return false;
    const auto same = [&](std::size_t at, auto word) {
        decltype(word) x, y;
        std::memcpy(&x, a.data() + at, sizeof x);
        std::memcpy(&y, b.data() + at, sizeof y);
        return x == y;
    };
    if (n >= 8 && n <= 16) return same(0, std::uint64_t{}) && same(n - 8, std::uint64_t{});
    if (n >= 4 && n < 8) return same(0, std::uint32_t{}) && same(n - 4, std::uint32_t{});
    if (n < 4) {
        for (std::size_t i = 0; i < n; ++i)
            if (a[i] != b[i]) return false;
        return true;
    }
    return std::memcmp(a.data(), b.data(), n) == 0;
}

// text.find(byte, from), eight bytes a step without a call: the bytes searched
// for in a line (the «,» that ends a column) are mostly a few bytes on.
inline std::size_t findByte(std::string_view text, char byte, std::size_t from = 0) {
    const char* p = text.data();
    const std::size_t n = text.size();
    std::size_t i = from;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
        const std::uint64_t pattern = ones * static_cast<unsigned char>(byte);
        for (; i + 8 <= n; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, p + i, sizeof word);
            word ^= pattern; // the byte sought is 0 now
            // The lowest byte flagged is the first 0 (flags above it may be false).
            if (std::uint64_t zeros = (word - ones) & ~word & highs)
                return i + static_cast<std::size_t>(__builtin_ctzll(zeros) >> 3);
        }
    }
    for (; i < n; ++i)
        if (p[i] == byte) return i;
    return std::string_view::npos;
}

// The 23 white-space characters that separate words.
bool isWideWhiteSpace(char32_t c);
inline bool isWhiteSpace(char32_t c) {
    if (c < 0x80) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
    return isWideWhiteSpace(c);
}

// out becomes the pieces one after another, sized once: the generators put each
// line together this way, without a growing string per piece.
void assignJoined(std::string& out, std::initializer_list<std::string_view> pieces);
// The decimal digits of n, written into digits.
std::string_view decimal(std::uint64_t n, char (&digits)[20]);
// The digits of a number that is counted up one at a time (the generators'
// variable numbers), each step a carry through the last digits instead of a
// conversion. Room for 24 digits: more than counting up from any 64-bit
// number can reach.
class DecimalCounter {
  public:
    explicit DecimalCounter(std::uint64_t n) {
        char d[20];
        const std::string_view s = decimal(n, d);
        start_ = sizeof digits_ - s.size();
        std::memcpy(digits_ + start_, s.data(), s.size());
    }
    std::string_view text() const { return {digits_ + start_, sizeof digits_ - start_}; }
    void increment() {
        for (std::size_t i = sizeof digits_; i-- > start_;) {
            if (digits_[i] != '9') {
                ++digits_[i];
                return;
            }
            digits_[i] = '0';
        }
        digits_[--start_] = '1';
    }

  private:
    char digits_[24];
    std::size_t start_;
};

// Simple Unicode upper-case mapping of one character, and of a whole text.
char32_t wideUpperChar(char32_t c); // a character above ASCII
inline char32_t upperChar(char32_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 0x20 : c;
    return wideUpperChar(c);
}
std::string upperCase(std::string_view utf8);
void appendUpperCase(std::string& out, std::string_view utf8);

// Appends raw bytes read from a file to out as UTF-8. Returns noFault, or the
// number of characters before the first byte that is not valid in the locale's
// encoding (out then holds the characters decoded up to that byte).
inline constexpr std::size_t noFault = static_cast<std::size_t>(-1);
std::size_t decodeFromLocale(std::string_view raw, std::string& out);
// False when the locale's encoding is UTF-8 (or ASCII): text is written as it is.
bool needsEncoding();
// Appends utf8 in the locale's encoding to out; false when a character has no
// representation there.
bool encodeToLocale(std::string_view utf8, std::string& out);
// The locale's codeset, e.g. "UTF-8" or "ISO-8859-1".
const std::string& localeCodeset();
// A command-line argument as text: its bytes come out of encodeToLocale as they
// went in (note [argument bytes]).
std::string argumentText(std::string_view bytes);
// Bytes from outside (a path, an option) as text to show: their characters, and
// each byte the locale's encoding refuses as an escaped byte, which appendShown
// shows as \xNN.
std::string textOfBytes(std::string_view bytes);
// True when the locale's encoding can show every character of utf8.
bool canShow(std::string_view utf8);
// Appends utf8 to out with the characters a terminal acts on (C0 and C1
// controls, DEL, line separators, bidirectional controls) escaped: \r, \x1b, \u0085.
void appendShown(std::string& out, std::string_view utf8);
// A diagnostic as the locale can show it: in its encoding, with « » … as plain
// quotes and dots where it lacks them and any other character it lacks as \uXXXX.
std::string shownInLocale(std::string_view utf8);
