#pragma once
// Character classes of the term language, on ASCII only: no locale, no case folding.
#include <string_view>

bool isConstant(char32_t c);
inline bool isLetter(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c == U'_';
}
bool isLetters(std::u32string_view t);
inline bool isDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}
bool isNumbers(std::u32string_view t);
// A variable: one or more letters, then zero or more digits (or the empty text).
bool isLettersNumbers(std::u32string_view t);
