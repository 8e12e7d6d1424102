#include "register/RegisterIndex.hpp"

#include "register/Failure.hpp"
#include "register/Text.hpp"

#include <bit>

// note [look-up index]: a look-up opens the register and reads from its first
// line: the first line whose code matches wins, a line without "(" (or with bytes
// the encoding refuses) met before the match stops it, an empty register stops it
// with end of file, and no match gives " ". Every look-up of a run therefore
// depends only on the register's lines up to the first line that stops a search,
// so those lines are read once and their codes kept with what a caller asks of
// the line found: its type and whether it is longer than two characters.

std::size_t slotOf(std::uint64_t hash, std::size_t slotCount) {
    hash ^= hash >> 31;
    hash *= 0xBF58476D1CE4E5B9ull;
    hash ^= hash >> 29;
    return static_cast<std::size_t>(hash) & (slotCount - 1);
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

RegisterIndex indexRegister(const std::string& path) {
    RegisterIndex ix;
    ix.path = path;
    RegisterHandle h = readRegister(path);
    std::string line;
    bool any = false;
    auto grow = [&ix] {
        std::vector<std::uint32_t> slots(std::max<std::size_t>(16, ix.slots.size() * 2), freeSlot);
        for (std::uint32_t e = 0; e < ix.entries.size(); ++e) {
            std::size_t s = slotOf(ix.entries[e].hash, slots.size());
            while (slots[s] != freeSlot) s = (s + 1) & (slots.size() - 1);
            slots[s] = e;
        }
        ix.slots.swap(slots);
    };
    for (;;) {
        LineRead r = readLine(h, line);
        if (r == LineRead::End) break;
        any = true;
        if (r == LineRead::Invalid) {
            ix.stop = invalidBytesMessage(path);
            break;
        }
        std::size_t open = line.find('(');
        if (open == std::string::npos) {
            ix.stop = tailOfEmpty;
            break;
        }
        std::string_view code = lookUpCode(line);
        std::uint64_t hash = hashText(code).hash;
        if ((ix.entries.size() + 1) * 2 > ix.slots.size()) grow();
        std::size_t mask = ix.slots.size() - 1;
        std::size_t s = slotOf(hash, ix.slots.size());
        bool seen = false;
        for (; ix.slots[s] != freeSlot; s = (s + 1) & mask) {
            const RegisterIndex::Entry& e = ix.entries[ix.slots[s]];
            if (e.hash == hash && std::string_view(ix.codes).substr(e.codeBegin, e.codeSize) == code) {
                seen = true; // the first line with a code wins
                break;
            }
        }
        if (seen) continue;
        ix.slots[s] = static_cast<std::uint32_t>(ix.entries.size());
        ix.entries.push_back({ix.codes.size(), code.size(), hash,
                              {lineTypeOf(line), countChars(line) > 2}});
        ix.codes.append(code);
    }
    ix.empty = !any;
    return ix;
}

const RegisterIndex& indexOf(RegisterLookUp& lookUps) {
    if (!lookUps.index) lookUps.index = indexRegister(lookUps.path);
    return *lookUps.index;
}

LookedUp lookUp(const RegisterIndex& ix, std::string_view code) {
    return lookUpHashed(ix, hashText(code).hash, [&](std::string_view c) { return c == code; });
}
