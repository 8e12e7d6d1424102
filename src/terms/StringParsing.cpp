#include "terms/StringParsing.hpp"

#include <algorithm>

bool isConstant(char32_t c) {
    return c == U'0' || c == U'1';
}

bool isLetter(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c == U'_';
}

bool isLetters(std::u32string_view t) {
    return std::all_of(t.begin(), t.end(), isLetter);
}

bool isDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

bool isNumbers(std::u32string_view t) {
    return std::all_of(t.begin(), t.end(), isDigit);
}

bool isLettersNumbers(std::u32string_view t) {
    if (t.empty()) return true;
    auto letters =
        static_cast<std::size_t>(std::find_if_not(t.begin(), t.end(), isLetter) - t.begin());
    return letters > 0 && isNumbers(t.substr(letters));
}
