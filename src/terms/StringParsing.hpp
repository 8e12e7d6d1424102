#pragma once
// Character classes of the term language, on ASCII only: no locale, no case folding.
#include <string_view>

bool isConstant(char32_t c);
bool isLetter(char32_t c);
bool isLetters(std::u32string_view t);
bool isDigit(char32_t c);
bool isNumbers(std::u32string_view t);
// A variable: one or more letters, then zero or more digits (or the empty text).
bool isLettersNumbers(std::u32string_view t);
