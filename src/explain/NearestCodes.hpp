#pragma once
// The codes near one that no line has, for "did you mean": the same letters in
// another case first, then codes at most two edits away.
#include "register/RegisterIndex.hpp"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// note [bounded suggestions]: the search for near codes costs at most a fixed
// share of the register, however many codes are missing and however long they
// are. Codes longer than suggestionLimit characters are never compared; a
// comparison gives up past two edits; the case-blind table is made once, on the
// first question; and a register allows only so many scans of its codes in all
// (`budget`), after which only the case-blind match is offered. A scan either
// runs to its end or does not start, so the answer never depends on the order
// of the look-up table, whose hash is keyed at random.
inline constexpr std::size_t suggestionLimit = 64;

struct NearestCodes {
    const RegisterIndex* index = nullptr;
    bool built = false;
    // The hash of each code's upper case, with the code; sorted.
    std::vector<std::pair<std::uint64_t, std::string_view>> byUpperCase;
    std::uint64_t budget = 0; // codes the scans may still compare
    // Answers given: by the missing word, and the codes of one upper case.
    std::unordered_map<std::string, std::vector<std::string>> answers;
    std::unordered_map<std::uint64_t, std::vector<std::string>> caseBlind;
};

NearestCodes nearestCodesOf(const RegisterIndex& ix);
// At most `most` codes near missing, nearest first.
std::vector<std::string> nearestCodes(NearestCodes& near, std::string_view missing,
                                      std::size_t most = 3);
