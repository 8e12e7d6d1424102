#pragma once
// What a look-up by code would meet if it searched the register from its first
// line, worked out in one pass for all look-ups of a run (see note [look-up index]).
#include "register/Register.hpp"
#include "register/RegisterLine.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The type column of the line a look-up returns, as its callers test it.
enum class LineType : std::uint8_t { Basic, Composite, Other, NoColumnText, NoTypeColumn };

struct LookedUp {
    LineType type;
    bool longerThanTwo; // the line has more than two characters
};

// What the not-found text " " gives: no type column, one character.
inline constexpr LookedUp notFoundLine{LineType::NoTypeColumn, false};

struct RegisterIndex {
    struct Entry {
        std::size_t codeBegin, codeSize; // the code in `codes`
        std::uint64_t hash;
        LookedUp line;
    };
    std::string path;
    bool empty = false;               // every look-up meets the end of the file
    std::optional<std::string> stop;  // the failure of the first line a search cannot pass
    std::vector<Entry> entries;       // the first line of each code, before the stop
    std::string codes;
    std::vector<std::uint32_t> slots; // open addressing over entries
};

// The register read once, to be looked up many times; built on the first look-up.
struct RegisterLookUp {
    std::string path;
    std::optional<RegisterIndex> index;
};

RegisterIndex indexRegister(const std::string& path);
const RegisterIndex& indexOf(RegisterLookUp& lookUps);

LineType lineTypeOf(std::string_view line);
// The type of a line found, failing as the column getter does.
LineType typeOf(const LookedUp& line);

// The line that getRegisterLine on a fresh handle would return for a code given
// by its hash; equalsCode(code) tells whether a stored code is the wanted one.
template <class Equal>
LookedUp lookUpHashed(const RegisterIndex& ix, std::uint64_t hash, Equal equalsCode);
LookedUp lookUp(const RegisterIndex& ix, std::string_view code);

[[noreturn]] void failLookUp(const RegisterIndex& ix);
std::size_t slotOf(std::uint64_t hash, std::size_t slotCount);
inline constexpr std::uint32_t freeSlot = UINT32_MAX;

template <class Equal>
LookedUp lookUpHashed(const RegisterIndex& ix, std::uint64_t hash, Equal equalsCode) {
    if (ix.empty) failLookUp(ix);
    if (!ix.slots.empty()) {
        std::size_t mask = ix.slots.size() - 1;
        for (std::size_t s = slotOf(hash, ix.slots.size());; s = (s + 1) & mask) {
            std::uint32_t e = ix.slots[s];
            if (e == freeSlot) break;
            const RegisterIndex::Entry& entry = ix.entries[e];
            if (entry.hash == hash &&
                equalsCode(std::string_view(ix.codes).substr(entry.codeBegin, entry.codeSize)))
                return entry.line;
        }
    }
    if (ix.stop) failLookUp(ix);
    return notFoundLine;
}
