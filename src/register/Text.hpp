#pragma once
// Text inside fagen is UTF-8 held in std::string. Everything that counts, compares
// or upper-cases text does so on characters (code points); these helpers are the
// only place that knows the encoding. Files are read and written in the encoding
// of the system's locale: UTF-8 (also under the C/POSIX locale) is used as is,
// any other codeset is converted at the border with iconv(3).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Reads the locale from the environment; call once before any file is read.
void initTextEncoding();

bool isValidUtf8(std::string_view bytes);

// Decodes one character of valid UTF-8 at bytes[pos] and advances pos past it.
char32_t nextChar(std::string_view bytes, std::size_t& pos);
void appendChar(std::string& out, char32_t c);
std::u32string toChars(std::string_view utf8);
std::string fromChars(std::u32string_view chars);
std::size_t countChars(std::string_view utf8);
// countChars(utf8) > n, reading no more of the text than it needs.
bool hasMoreCharsThan(std::string_view utf8, std::size_t n);

// The 23 white-space characters that separate words.
bool isWhiteSpace(char32_t c);

// Simple Unicode upper-case mapping of one character, and of a whole text.
char32_t upperChar(char32_t c);
std::string upperCase(std::string_view utf8);
void appendUpperCase(std::string& out, std::string_view utf8);

// Converts a line read from a file into UTF-8 in place; false when its bytes are
// not valid in the locale's encoding.
bool decodeFromLocale(std::string& line);
// False when the locale's encoding is UTF-8 (or ASCII): text is written as it is.
bool needsEncoding();
// Appends utf8 in the locale's encoding to out; false when a character has no
// representation there.
bool encodeToLocale(std::string_view utf8, std::string& out);

// Polynomial hash of a text's characters. A term node keeps the hash of its
// normal form, so it can be looked up among codes without being rendered.
struct TextHash {
    std::uint64_t hash = 0, power = 1;
};
inline constexpr std::uint64_t hashBase = 0x9E3779B97F4A7C15ull | 1;
inline TextHash hashAppend(TextHash a, char32_t c) { return {a.hash * hashBase + c, a.power * hashBase}; }
inline TextHash hashAppend(TextHash a, TextHash b) { return {a.hash * b.power + b.hash, a.power * b.power}; }
TextHash hashText(std::string_view utf8);
TextHash hashChars(std::u32string_view chars);
