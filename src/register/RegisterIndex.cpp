#include "register/RegisterIndex.hpp"

#include "register/Failure.hpp"
#include "register/Text.hpp"

#include <algorithm>
#include <cstring>

// note [look-up index]: a look-up opens the register and reads from its first
// line: the first line whose code matches wins, a line without "(" (or with bytes
// the encoding refuses) met before the match stops it, an empty register stops it
// with end of file, and no match gives " ". Every look-up of a run therefore
// depends only on the register's lines up to the first line that stops a search,
// so those lines are read once and their codes kept with what a caller asks of
// the line found: its type and whether it is longer than two characters.

std::size_t slotOf(std::uint64_t hash, std::size_t slotCount) {
    __extension__ using Wide = unsigned __int128;
    hash |= 1; // as stored in a slot's key, so a key finds its own slot again
    hash ^= hash >> 31;
    hash *= 0xBF58476D1CE4E5B9ull;
    hash ^= hash >> 29;
    return static_cast<std::size_t>((static_cast<Wide>(hash) * slotCount) >> 64);
}

LineType lineTypeOf(std::string_view line) {
    Column type = findColumn(2, line);
    if (type.fault == ColumnFault::EmptyText) return LineType::NoColumnText;
    if (type.fault == ColumnFault::NoMoreColumns) return LineType::NoTypeColumn;
    if (type.text == "0") return LineType::Basic;
    if (type.text == "1" || type.text == "2") return LineType::Composite;
    return LineType::Other;
}

LineType typeOf(const LookedUp& line) {
    if (line.type == LineType::NoColumnText) failColumn(ColumnFault::EmptyText);
    if (line.type == LineType::NoTypeColumn) failColumn(ColumnFault::NoMoreColumns);
    return line.type;
}

void failLookUp(const RegisterIndex& ix) {
    if (ix.empty) fail(endOfFileMessage(ix.path));
    fail(*ix.stop);
}

std::string_view codeOf(const RegisterIndex& ix, const RegisterIndex::Slot& slot) {
    if ((slot.meta & 8) == 0) return {slot.bytes, static_cast<std::size_t>(slot.meta & 7)};
    std::uint64_t offset = 0;
    std::memcpy(&offset, slot.bytes, sizeof slot.bytes);
    std::uint32_t size;
    std::memcpy(&size, ix.codes.data() + offset, sizeof size);
    return std::string_view(ix.codes).substr(offset + sizeof size, size);
}

LookedUp lineOf(const RegisterIndex::Slot& slot) {
    return {static_cast<LineType>((slot.meta >> 4) & 7), (slot.meta & 0x80) != 0};
}

namespace {

std::size_t& next(const RegisterIndex& ix, std::size_t& s) { return s = s + 1 == ix.slots.size() ? 0 : s + 1; }

void grow(RegisterIndex& ix, std::size_t atLeast = 0) {
    decltype(ix.slots) old;
    old.swap(ix.slots);
    ix.slots.resize(std::max<std::size_t>({64, old.size() * 2, atLeast}));
    for (const RegisterIndex::Slot& slot : old) {
        if (slot.key == 0) continue;
        std::size_t s = slotOf(slot.key, ix.slots.size());
        while (ix.slots[s].key != 0) next(ix, s);
        ix.slots[s] = slot;
    }
}

// Keeps the first line of each code.
void insert(RegisterIndex& ix, std::uint64_t hash, std::string_view code, LookedUp line) {
    if ((ix.count + 1) * 3 > ix.slots.size() * 2) grow(ix);
    const std::uint64_t key = hash | 1;
    std::size_t s = slotOf(hash, ix.slots.size());
    for (; ix.slots[s].key != 0; next(ix, s))
        if (ix.slots[s].key == key && codeOf(ix, ix.slots[s]) == code) return;
    RegisterIndex::Slot& slot = ix.slots[s];
    slot.key = key;
    slot.meta = static_cast<unsigned char>((static_cast<unsigned>(line.type) << 4) | (line.longerThanTwo ? 0x80 : 0));
    if (code.size() <= sizeof slot.bytes) {
        slot.meta |= static_cast<unsigned char>(code.size());
        std::memcpy(slot.bytes, code.data(), code.size());
    } else {
        slot.meta |= 8;
        std::uint64_t offset = ix.codes.size();
        std::memcpy(slot.bytes, &offset, sizeof slot.bytes);
        auto size = static_cast<std::uint32_t>(code.size());
        ix.codes.append(reinterpret_cast<const char*>(&size), sizeof size);
        ix.codes.append(code);
    }
    ix.blankInSomeCode = ix.blankInSomeCode || code.find(' ') != std::string_view::npos;
    ++ix.count;
}

// Lines waiting to be inserted while their slots are fetched; inserted in
// register order, so the first line of a code still wins.
struct Batch {
    struct Line {
        std::uint64_t hash;
        std::size_t begin, size;
        LookedUp line;
    };
    std::vector<Line> lines;
    std::string codes;
};

void insertAll(RegisterIndex& ix, Batch& b) {
    for (const Batch::Line& l : b.lines) insert(ix, l.hash, std::string_view(b.codes).substr(l.begin, l.size), l.line);
    b.lines.clear();
    b.codes.clear();
}

// The number of line feeds in the file: sizes the table once instead of growing
// it line by line.
std::size_t countLines(const std::string& path) {
    RegisterHandle h = readRegister(path);
    std::size_t lines = 0;
    while (!isEndOfRegister(h)) {
        const char* p = h.buffer.get() + h.begin;
        const char* end = h.buffer.get() + h.end;
        while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))))) {
            ++lines;
            ++p;
        }
        h.begin = h.end;
    }
    return lines;
}

} // namespace

RegisterIndex indexRegister(const std::string& path) {
    RegisterIndex ix;
    ix.path = path;
    RegisterHandle h = readRegister(path);
    grow(ix, countLines(path) * 3 / 2 + 2);
    std::string line;
    bool any = false;
    Batch batch;
    for (;;) {
        LineRead r = readLine(h, line);
        if (r == LineRead::End) break;
        any = true;
        if (r == LineRead::Invalid) {
            ix.stop = invalidBytesMessage(path);
            break;
        }
        if (line.find('(') == std::string::npos) {
            ix.stop = tailOfEmpty;
            break;
        }
        std::string_view code = lookUpCode(line);
        if (code.size() >= UINT32_MAX) fail("out of memory (code too long)");
        std::uint64_t hash = hashText(code).hash;
        prefetchCode(ix, hash);
        batch.lines.push_back({hash, batch.codes.size(), code.size(), {lineTypeOf(line), hasMoreCharsThan(line, 2)}});
        batch.codes.append(code);
        if (batch.lines.size() == 32) insertAll(ix, batch);
    }
    insertAll(ix, batch);
    ix.empty = !any;
    return ix;
}

const RegisterIndex& indexOf(RegisterLookUp& lookUps) {
    if (!lookUps.index) lookUps.index = indexRegister(lookUps.path);
    return *lookUps.index;
}

LookedUp lookUp(const RegisterIndex& ix, std::string_view code) {
    bool blank = code.find(' ') != std::string_view::npos;
    if (blank && !ix.blankInSomeCode) return lookUpHashed(ix, 0, blank, [](std::string_view) { return false; });
    return lookUpHashed(ix, hashText(code).hash, blank, [&](std::string_view c) { return c == code; });
}
