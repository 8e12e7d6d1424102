#include "terms/StringParsing.hpp"

#include <algorithm>

bool isConstant(char32_t c) {
    return c == U'0' || c == U'1';
}

bool isLetters(std::u32string_view t) {
    return std::all_of(t.begin(), t.end(), isLetter);
}

bool isNumbers(std::u32string_view t) {
    return std::all_of(t.begin(), t.end(), isDigit);
}

bool isLettersNumbers(std::u32string_view t) {
    if (t.empty()) return true;
    std::size_t i = 0;
    while (i < t.size() && isLetter(t[i]))
        ++i;
    if (i == 0) return false;
    while (i < t.size() && isDigit(t[i]))
        ++i;
    return i == t.size();
}
