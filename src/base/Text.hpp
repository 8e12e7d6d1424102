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

// The 23 white-space characters that separate words.
bool isWhiteSpace(char32_t c);

// Simple Unicode upper-case mapping of one character, and of a whole text.
char32_t upperChar(char32_t c);
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
