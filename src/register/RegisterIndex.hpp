#pragma once
// What a look-up by code would meet if it searched the register from its first
// line, worked out in one pass for all look-ups of a run (see note [look-up index]).
#include "register/Memory.hpp"
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
    // One code and its first line's answer, in 16 bytes. Codes of up to 7 bytes
    // are kept in the slot itself, longer ones in `codes` (a 4-byte size, then
    // the bytes), so most look-ups touch one slot and nothing else.
    struct Slot {
        std::uint64_t key = 0; // the code's hash with its lowest bit set; 0: free
        unsigned char meta = 0; // size in the slot (3 bits), in `codes` (1), type (3), longer (1)
        char bytes[7] = {};     // the code, or its offset in `codes`
    };
    std::string path;
    bool empty = false;              // every look-up meets the end of the file
    std::optional<std::string> stop; // the failure of the first line a search cannot pass
    bool blankInSomeCode = false;    // a code holds a 0x20: operator terms can match
    std::size_t count = 0;           // codes kept: those of the lines before the stop
    std::vector<Slot, LargeAllocator<Slot>> slots; // open addressing, at most two thirds full
    std::string codes;
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
// A code holding a blank (0x20) misses without probing when no code does.
template <class Equal>
LookedUp lookUpHashed(const RegisterIndex& ix, std::uint64_t hash, bool holdsBlank, Equal equalsCode);
LookedUp lookUp(const RegisterIndex& ix, std::string_view code);

[[noreturn]] void failLookUp(const RegisterIndex& ix);
std::size_t slotOf(std::uint64_t hash, std::size_t slotCount);

std::string_view codeOf(const RegisterIndex& ix, const RegisterIndex::Slot& slot);
LookedUp lineOf(const RegisterIndex::Slot& slot);

// A hint that a code with this hash is about to be looked up.
inline void prefetchCode(const RegisterIndex& ix, std::uint64_t hash) {
    if (!ix.slots.empty()) __builtin_prefetch(&ix.slots[slotOf(hash, ix.slots.size())]);
}

template <class Equal>
LookedUp lookUpHashed(const RegisterIndex& ix, std::uint64_t hash, bool holdsBlank, Equal equalsCode) {
    if (ix.empty) failLookUp(ix);
    if (!ix.slots.empty() && (!holdsBlank || ix.blankInSomeCode)) {
        const std::uint64_t key = hash | 1;
        for (std::size_t s = slotOf(hash, ix.slots.size());; s = s + 1 == ix.slots.size() ? 0 : s + 1) {
            const RegisterIndex::Slot& slot = ix.slots[s];
            if (slot.key == 0) break;
            if (slot.key == key && equalsCode(codeOf(ix, slot))) return lineOf(slot);
        }
    }
    if (ix.stop) failLookUp(ix);
    return notFoundLine;
}
