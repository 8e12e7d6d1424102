#include "explain/NearestCodes.hpp"

#include "base/Text.hpp"
#include "terms/StringParsing.hpp"

#include <algorithm>

namespace {

std::u32string upper(std::u32string_view t) {
    std::u32string u(t);
    for (char32_t& c : u)
        c = upperChar(c);
    return u;
}

// The edit distance of a and b when it is at most 2, else 3: the diagonal band
// of a Levenshtein table, stopped as soon as every cell in it passes 2.
template <class Text> std::size_t distanceUpToTwo(Text a, Text b) {
    constexpr std::size_t far = 3;
    if (a.size() > b.size() + 2 || b.size() > a.size() + 2) return far;
    std::vector<std::size_t> prev(b.size() + 2, far), cur(b.size() + 2, far);
    for (std::size_t j = 0; j <= std::min<std::size_t>(b.size(), 2); ++j)
        prev[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t lo = i > 2 ? i - 2 : 0, hi = std::min(b.size(), i + 2);
        std::fill(cur.begin(), cur.end(), far);
        std::size_t best = far;
        for (std::size_t j = lo; j <= hi; ++j) {
            std::size_t d =
                j == 0
                    ? i
                    : std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] != b[j - 1])});
            cur[j] = std::min(d, far);
            best = std::min(best, cur[j]);
        }
        if (best >= far) return far;
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

void build(NearestCodes& near) {
    near.built = true;
    forEachCode(*near.index, [&](std::string_view code, const LookedUp&) {
        if (hasMoreCharsThan(code, suggestionLimit)) return;
        near.byUpperCase.emplace_back(hashOfText(upperCase(code)), code);
    });
    std::sort(near.byUpperCase.begin(), near.byUpperCase.end());
}

} // namespace

NearestCodes nearestCodesOf(const RegisterIndex& ix) {
    NearestCodes near;
    near.index = &ix;
    near.budget = std::max<std::uint64_t>(100'000, 8 * std::uint64_t{ix.count});
    return near;
}

std::vector<std::string> nearestCodes(NearestCodes& near, std::string_view missing,
                                      std::size_t most) {
    if (missing.empty() || hasMoreCharsThan(missing, suggestionLimit)) return {};
    // The same word asked again (a code misspelt the same way many times): the
    // same answer, at no cost.
    auto known = near.answers.find(std::string(missing));
    if (known != near.answers.end()) return known->second;
    if (!near.built) build(near);
    const std::u32string wanted = toChars(missing);
    const std::u32string wantedUpper = upper(wanted);
    // A word in an expression is a code only when it is a variable: offer only those.
    const bool variable = isLettersNumbers(wanted);
    auto offered = [&](std::string_view code) {
        return !variable || isLettersNumbers(toChars(code));
    };
    std::vector<std::pair<std::size_t, std::string>> found;
    // The same letters in another case: distance 0. Every spelling of one word
    // in another case meets the same codes: they are gathered once per word.
    const std::uint64_t key = hashOfChars(wantedUpper);
    auto sameLetters = near.caseBlind.find(key);
    if (sameLetters == near.caseBlind.end()) {
        std::vector<std::string> codes;
        auto it = std::lower_bound(near.byUpperCase.begin(), near.byUpperCase.end(),
                                   std::make_pair(key, std::string_view()));
        for (; it != near.byUpperCase.end() && it->first == key; ++it)
            if (upper(toChars(it->second)) == wantedUpper) codes.emplace_back(it->second);
        std::sort(codes.begin(), codes.end());
        if (codes.size() > most + 1) codes.resize(most + 1); // one may be the word itself
        sameLetters = near.caseBlind.emplace(key, std::move(codes)).first;
    }
    for (const std::string& code : sameLetters->second)
        if (code != missing && offered(code)) found.emplace_back(0, code);
    // One or two edits away: a whole scan of the codes, when the budget allows one.
    const std::uint64_t cost = near.index->count;
    const bool ascii =
        std::all_of(missing.begin(), missing.end(), [](char b) { return (b & 0x80) == 0; });
    if (near.budget >= cost) {
        near.budget -= cost;
        forEachCode(*near.index, [&](std::string_view code, const LookedUp&) {
            if (code.size() + 2 < wanted.size() || code.size() > 4 * (wanted.size() + 2)) return;
            bool asciiCode =
                std::all_of(code.begin(), code.end(), [](char b) { return (b & 0x80) == 0; });
            std::size_t d = ascii && asciiCode ? distanceUpToTwo(code, missing)
                                               : distanceUpToTwo(std::u32string_view(toChars(code)),
                                                                 std::u32string_view(wanted));
            if (d == 0 || d > 2 || d >= wanted.size() || upperCase(code) == upperCase(missing) ||
                !offered(code))
                return;
            found.emplace_back(d, std::string(code));
        });
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> out;
    for (std::size_t i = 0; i < found.size() && out.size() < most; ++i)
        out.push_back(found[i].second);
    near.answers.emplace(std::string(missing), out);
    return out;
}
