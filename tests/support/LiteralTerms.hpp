#pragma once
// A word-for-word reading of the term operations, exponential and recursive,
// to hold the linear ones against on small texts (unit tests and the fuzzer).
#include "base/Failure.hpp"
#include "base/Text.hpp"

#include <string>
#include <vector>

namespace literal {

[[noreturn]] inline void head() {
    fail(FailureKind::OperandMissing);
}

inline std::vector<std::u32string> words(const std::u32string& t) {
    std::vector<std::u32string> w;
    std::u32string cur;
    for (char32_t c : t) {
        if (isWhiteSpace(c)) {
            if (!cur.empty()) w.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) w.push_back(cur);
    return w;
}

inline std::u32string dropBlanks(std::u32string t) {
    while (!t.empty() && t[0] == U' ')
        t.erase(0, 1);
    if (t.empty()) head();
    return t;
}

inline std::u32string drop(const std::u32string& t, std::size_t n) {
    return n >= t.size() ? U"" : t.substr(n);
}

inline std::u32string operation(const std::u32string& t) {
    auto w = words(t);
    if (w.empty()) head();
    return w[0] == U"+" ? U"+" : w[0] == U"." ? U"." : U" ";
}

inline std::u32string takeTerm(std::u32string t);

inline std::u32string leftTerm(std::u32string t) {
    t = dropBlanks(t);
    if (operation(t) == U" ") return words(t)[0];
    return takeTerm(t.substr(1));
}

inline std::u32string rightTerm(std::u32string t) {
    t = dropBlanks(t);
    std::u32string l = leftTerm(t);
    return takeTerm(drop(t.substr(1), l.size() + 1));
}

inline std::u32string takeTerm(std::u32string t) {
    t = dropBlanks(t);
    std::u32string op = operation(t);
    if (op == U" ") return words(t)[0];
    std::u32string l = leftTerm(t);
    return op + U" " + l + U" " + rightTerm(t);
}

inline std::u32string eval(const std::u32string& t) {
    if (t == U"0") return U"zeroSet";
    if (t == U"1") return U"oneSet";
    if (t.empty() || (t[0] != U'+' && t[0] != U'.')) fail(FailureKind::Untranslatable);
    std::u32string r = t.substr(1);
    while (!r.empty() && r[0] == U' ')
        r.erase(0, 1);
    std::u32string l = takeTerm(r);
    std::u32string el = eval(l);
    std::u32string rt = takeTerm(drop(r, l.size() + 1));
    std::u32string er = eval(rt);
    return (t[0] == U'+' ? U"PLUS(" : U"DOT(") + el + U", " + er + U")";
}

} // namespace literal
