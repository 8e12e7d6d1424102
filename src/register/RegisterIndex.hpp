#pragma once
// What a look-up by code would meet if it searched the register from its first
// line, worked out in one pass for all look-ups of a run (see note [look-up index]).
#include "base/Hash.hpp"
#include "base/Memory.hpp"
#include "base/Text.hpp"
#include "register/Register.hpp"

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a look-up found: the type of the line and whether the line is longer than
// two characters; its number comes from lineFound.
struct LookedUp {
    LineType type;
    bool longerThanTwo;
    bool found = true;
    std::size_t slot = SIZE_MAX; // where the index keeps the line
};

// What the not-found text " " gives: no type column, one character.
inline constexpr LookedUp notFoundLine{LineType::NoTypeColumn, false, false, SIZE_MAX};

struct RegisterIndex {
    // One code in 8 bytes, and what its first line answers in one byte beside,
    // in `meta`, so that the slots of a million codes stay within what the
    // processor keeps at hand (note [slots of 8 bytes]). A code of up to 8 bytes
    // without a NUL is kept in the slot itself, its unused bytes 0; any other
    // code is kept in `codes` (a 4-byte size, then the bytes), and the slot
    // holds its offset there and 24 bits of its hash. Where a slot stands
    // depends on its code's hash alone (slotOf).
    static constexpr unsigned hashBits = 52;
    static constexpr std::size_t inlineBytes = 8;
    struct Slot {
        char bytes[inlineBytes] = {}; // the code, or its offset (5 bytes) and hash (3 bytes)
    };
    // A slot's meta byte.
    static constexpr std::uint8_t used = 1,
                                  afterStop = 2, // after the first line a search cannot pass
        mended = 4,                        // the line has no "(": its code is its first column
        elsewhere = 8,                     // the code is in `codes`
        longerThanTwo = 16, typeShift = 5; // LineType in the top 3 bits
    RegisterText text;
    bool empty = false; // the register has no line: every look-up meets its end
    // The first line a search cannot pass: a line without "(" (or an empty
    // line), or one whose bytes the encoding refuses. 0: none.
    std::uint64_t stopLine = 0;
    FailureKind stopKind = FailureKind::LookUpStopped;
    std::uint64_t stopColumn = 1;
    std::vector<std::uint64_t> stopLines; // every line that stops a search, with line numbers
    bool blankInSomeCode = false;         // a code holds a 0x20: operator terms can match
    std::size_t count = 0;                // codes kept
    ZeroedArray<Slot> slots;              // open addressing, at most two thirds full
    ZeroedArray<std::uint8_t> meta;       // each slot's bits above
    std::string codes;
    // The number of each slot's line, when asked for (fagen-lint).
    bool withLines = false;
    ZeroedArray<std::uint64_t> lines;
    // Lines whose code an earlier line has, with that line's number, in order
    // (with line numbers; lines with "(" only).
    std::vector<std::pair<std::uint64_t, std::uint64_t>> duplicates;
};

// Reads the whole register. Lines after the first that stops a search are
// indexed too, marked (fagen-lint reads on as if that line were mended); a line
// without "(" is indexed by its first column.
// With stop, the reading ends early, its index unfinished, once *stop is set.
RegisterIndex indexRegister(const RegisterText& text, bool withLineNumbers = false,
                            const std::atomic<bool>* stop = nullptr);

// The register read once, to be looked up many times; indexed on the first
// look-up. Without a text, the file at path is opened then.
struct RegisterLookUp {
    RegisterText text;
    std::string path;
    std::shared_ptr<const RegisterIndex> index; // never changed once made
};
const RegisterIndex& indexOf(RegisterLookUp& lookUps);

// The type of a line found, failing as the column getter does on it.
LineType typeOf(const RegisterIndex& ix, const LookedUp& found);

// What a look-up meets: the first line with the code as if every line that
// stops a search were mended (notFoundLine when none has it), and whether a
// search from the first line meets such a line before.
struct Probe {
    LookedUp found;
    bool stopped = false;
};
// A code given by its hash; equalsCode(code) tells whether a stored code is the
// wanted one. A code holding a blank (0x20) misses without probing when no code does.
template <class Equal>
Probe probeHashed(const RegisterIndex& ix, std::uint64_t hash, bool holdsBlank, Equal equalsCode);
Probe probe(const RegisterIndex& ix, std::string_view code);
// The line that getRegisterLine on a fresh handle would return.
template <class Equal>
LookedUp lookUpHashed(const RegisterIndex& ix, std::uint64_t hash, bool holdsBlank,
                      Equal equalsCode);
LookedUp lookUp(const RegisterIndex& ix, std::string_view code);
// The failure of a search that meets the stop line (or the end of an empty register).
Failure lookUpFailure(const RegisterIndex& ix);
[[noreturn]] void failLookUp(const RegisterIndex& ix);

// The part of a hash a slot keeps.
inline std::uint64_t keptHash(std::uint64_t hash) {
    return hash & ((std::uint64_t{1} << RegisterIndex::hashBits) - 1);
}
// Where a code with this hash is first looked for (from its kept part alone).
inline std::size_t slotOf(std::uint64_t hash, std::size_t slotCount) {
    __extension__ using Wide = unsigned __int128;
    // The hash is keyed (note [keyed hash]); spread its bits before scaling.
    hash = keptHash(hash);
    hash ^= hash >> 31;
    hash *= 0xBF58476D1CE4E5B9ull;
    hash ^= hash >> 29;
    return static_cast<std::size_t>((static_cast<Wide>(hash) * slotCount) >> 64);
}
std::string_view codeElsewhere(const RegisterIndex& ix, const RegisterIndex::Slot& slot);
inline std::uint8_t metaOf(const RegisterIndex& ix, const RegisterIndex::Slot& slot) {
    return ix.meta[static_cast<std::size_t>(&slot - ix.slots.data())];
}
inline std::string_view codeOf(const RegisterIndex& ix, const RegisterIndex::Slot& slot) {
    if (metaOf(ix, slot) & RegisterIndex::elsewhere) return codeElsewhere(ix, slot);
    // The code's bytes are not 0: it ends after the last byte that is not.
    std::size_t size = RegisterIndex::inlineBytes;
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t word;
        std::memcpy(&word, slot.bytes, sizeof word);
        size = (static_cast<std::size_t>(std::bit_width(word)) + 7) / 8;
    } else {
        while (size > 0 && slot.bytes[size - 1] == 0)
            --size;
    }
    return {slot.bytes, size};
}
inline LookedUp lineOf(const RegisterIndex& ix, const RegisterIndex::Slot& slot) {
    const std::uint8_t meta = metaOf(ix, slot);
    return {static_cast<LineType>(meta >> RegisterIndex::typeShift),
            (meta & RegisterIndex::longerThanTwo) != 0, true,
            static_cast<std::size_t>(&slot - ix.slots.data())};
}
// The number of the line found: 0 where the index keeps no line numbers, or
// nothing was found.
std::uint64_t lineFound(const RegisterIndex& ix, const LookedUp& found);
// Calls visit(code, found) for every code of the register.
template <class Visit> void forEachCode(const RegisterIndex& ix, Visit visit);

// A hint that a code with this hash is about to be looked up.
inline void prefetchCode(const RegisterIndex& ix, std::uint64_t hash) {
    if (ix.slots.empty()) return;
    const std::size_t s = slotOf(hash, ix.slots.size());
    __builtin_prefetch(&ix.slots[s]);
    __builtin_prefetch(&ix.meta[s]);
}

// The 24 bits of a code's hash that the slot of a code kept elsewhere holds.
inline std::uint32_t hashTag(std::uint64_t hash) {
    return static_cast<std::uint32_t>(keptHash(hash) >> (RegisterIndex::hashBits - 24));
}
inline std::uint32_t slotTag(const RegisterIndex::Slot& slot) {
    const auto* b = reinterpret_cast<const unsigned char*>(slot.bytes);
    return b[5] | (std::uint32_t{b[6]} << 8) | (std::uint32_t{b[7]} << 16);
}

// Whether the used slot s holds the code whose hash has this tag and that
// equalsCode accepts: a code kept elsewhere is read only when the tags agree.
template <class Equal>
bool holdsCode(const RegisterIndex& ix, std::size_t s, std::uint32_t tag, Equal equalsCode) {
    if ((ix.meta[s] & RegisterIndex::elsewhere) && slotTag(ix.slots[s]) != tag) return false;
    return equalsCode(codeOf(ix, ix.slots[s]));
}

// A code of up to 8 bytes without a NUL as its slot keeps it: its bytes, then 0s.
inline std::uint64_t slotBytes(const char* code, std::size_t size) {
    return bytesAsWord(code, size);
}

// The slot of a code given as slotBytes, or nullptr: such a code is never kept
// elsewhere, so only a slot that keeps its code in place can hold it.
inline const RegisterIndex::Slot* findShortSlot(const RegisterIndex& ix, std::uint64_t hash,
                                                std::uint64_t bytes) {
    if (ix.slots.empty()) return nullptr;
    for (std::size_t s = slotOf(hash, ix.slots.size());; s = s + 1 == ix.slots.size() ? 0 : s + 1) {
        const std::uint8_t meta = ix.meta[s];
        if (!(meta & RegisterIndex::used)) return nullptr;
        std::uint64_t kept;
        std::memcpy(&kept, ix.slots[s].bytes, sizeof kept);
        if (!(meta & RegisterIndex::elsewhere) && kept == bytes) return &ix.slots[s];
    }
}

// The slot holding a code, or nullptr.
template <class Equal>
const RegisterIndex::Slot* findSlot(const RegisterIndex& ix, std::uint64_t hash, Equal equalsCode) {
    if (ix.slots.empty()) return nullptr;
    const std::uint32_t tag = hashTag(hash);
    for (std::size_t s = slotOf(hash, ix.slots.size());; s = s + 1 == ix.slots.size() ? 0 : s + 1) {
        if (!(ix.meta[s] & RegisterIndex::used)) return nullptr;
        if (holdsCode(ix, s, tag, equalsCode)) return &ix.slots[s];
    }
}

template <class Equal>
Probe probeHashed(const RegisterIndex& ix, std::uint64_t hash, bool holdsBlank, Equal equalsCode) {
    const RegisterIndex::Slot* slot =
        holdsBlank && !ix.blankInSomeCode ? nullptr : findSlot(ix, hash, equalsCode);
    if (!slot) return {notFoundLine, ix.stopLine != 0};
    return {lineOf(ix, *slot), (metaOf(ix, *slot) & RegisterIndex::afterStop) != 0};
}

template <class Equal>
LookedUp lookUpHashed(const RegisterIndex& ix, std::uint64_t hash, bool holdsBlank,
                      Equal equalsCode) {
    if (ix.empty) failLookUp(ix);
    Probe p = probeHashed(ix, hash, holdsBlank, equalsCode);
    if (p.stopped) failLookUp(ix);
    return p.found;
}

template <class Visit> void forEachCode(const RegisterIndex& ix, Visit visit) {
    for (const RegisterIndex::Slot& slot : ix.slots)
        if (metaOf(ix, slot) & RegisterIndex::used) visit(codeOf(ix, slot), lineOf(ix, slot));
}
