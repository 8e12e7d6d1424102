#include "register/RegisterIndex.hpp"

#include "base/Text.hpp"

#include <algorithm>
#include <cstring>

// note [look-up index]: a look-up opens the register and reads from its first
// line: the first line whose code matches wins, a line without "(" (or with bytes
// the encoding refuses) met before the match stops it, an empty register stops it
// with end of file, and no match gives " ". Every look-up of a run therefore
// depends only on the register's lines up to the first line that stops a search,
// so the lines are read once and each code kept with what a caller asks of the
// line found: its type and whether it is longer than two characters. Codes of
// later lines are kept too, marked, for the checker's reading "as if mended".

// note [slots of 8 bytes]: a run of a million lines looks up a few million
// codes at random places in the table. Past about 10 MB, on the machines we
// measure on, each look-up waits for memory about twice as long as below it,
// so a slot is 8 bytes and what it answers one byte in a smaller table beside
// it: a million codes take 12 MB and 1.5 MB instead of 24 MB. Most codes are
// short enough to be kept in the slot, so a look-up still touches one slot.
static_assert(sizeof(RegisterIndex::Slot) == 8);

LineType typeOf(const RegisterIndex& ix, const LookedUp& found) {
    // The not-found text " " has no type column: no line has the code.
    if (!found.found) fail(FailureKind::CodeMissing);
    if (found.type == LineType::NoColumnText)
        fail(FailureKind::ColumnText, {lineFound(ix, found), 0}, {}, "type");
    if (found.type == LineType::NoTypeColumn)
        fail(FailureKind::ColumnMissing, {lineFound(ix, found), 0}, {}, "type");
    return found.type;
}

Failure lookUpFailure(const RegisterIndex& ix) {
    if (ix.empty) return makeFailure(FailureKind::EndOfFile, {}, registerPath(ix.text));
    return makeFailure(ix.stopKind, {ix.stopLine, ix.stopColumn},
                       ix.stopKind == FailureKind::InvalidBytes ? registerPath(ix.text)
                                                                : std::string());
}

void failLookUp(const RegisterIndex& ix) {
    throw lookUpFailure(ix);
}

std::string_view codeElsewhere(const RegisterIndex& ix, const RegisterIndex::Slot& slot) {
    const auto* b = reinterpret_cast<const unsigned char*>(slot.bytes);
    std::uint64_t offset = 0;
    for (int i = 0; i < 5; ++i)
        offset |= std::uint64_t{b[i]} << (8 * i);
    std::uint32_t size;
    std::memcpy(&size, ix.codes.data() + offset, sizeof size);
    return std::string_view(ix.codes).substr(offset + sizeof size, size);
}

std::uint64_t lineFound(const RegisterIndex& ix, const LookedUp& found) {
    return found.found && !ix.lines.empty() ? ix.lines[found.slot] : 0;
}

namespace {

std::size_t& next(const RegisterIndex& ix, std::size_t& s) {
    return s = s + 1 == ix.slots.size() ? 0 : s + 1;
}

void grow(RegisterIndex& ix, std::size_t atLeast) {
    RegisterIndex old;
    old.slots.swap(ix.slots);
    old.meta.swap(ix.meta);
    old.lines.swap(ix.lines);
    old.codes.swap(ix.codes); // where the codes kept elsewhere are read from, meanwhile
    std::size_t size = std::max<std::size_t>({64, old.slots.size() * 2, atLeast});
    ix.slots = ZeroedArray<RegisterIndex::Slot>(size);
    ix.meta = ZeroedArray<std::uint8_t>(size);
    if (ix.withLines) ix.lines = ZeroedArray<std::uint64_t>(size);
    for (std::size_t i = 0; i < old.slots.size(); ++i) {
        if (!(old.meta[i] & RegisterIndex::used)) continue;
        // A slot keeps no hash of a code kept in it: where it stands is worked out again.
        std::size_t s = slotOf(hashOfText(codeOf(old, old.slots[i])), ix.slots.size());
        while (ix.meta[s] & RegisterIndex::used)
            next(ix, s);
        ix.slots[s] = old.slots[i];
        ix.meta[s] = old.meta[i];
        if (ix.withLines) ix.lines[s] = old.lines[i];
    }
    ix.codes.swap(old.codes);
}

struct Entry {
    std::uint64_t hash;
    std::string_view code; // in the register's text, which never moves
    LookedUp found;
    std::uint64_t line;
    bool afterStop;
    bool mended;
};

// Keeps the first line of each code.
void insert(RegisterIndex& ix, const Entry& e) {
    const std::string_view code = e.code;
    using Slot = RegisterIndex::Slot;
    std::size_t s = slotOf(e.hash, ix.slots.size());
    const std::uint32_t tag = hashTag(e.hash);
    for (; ix.meta[s] & RegisterIndex::used; next(ix, s)) {
        if (!holdsCode(ix, s, tag, [&](std::string_view c) { return sameBytes(c, code); }))
            continue;
        if (ix.withLines && !e.mended && !(ix.meta[s] & RegisterIndex::mended))
            ix.duplicates.emplace_back(e.line, ix.lines[s]);
        return;
    }
    Slot& slot = ix.slots[s];
    std::uint8_t meta = static_cast<std::uint8_t>(
        RegisterIndex::used | (e.afterStop ? RegisterIndex::afterStop : 0) |
        (e.mended ? RegisterIndex::mended : 0) |
        (e.found.longerThanTwo ? RegisterIndex::longerThanTwo : 0) |
        (static_cast<unsigned>(e.found.type) << RegisterIndex::typeShift));
    if (code.size() <= RegisterIndex::inlineBytes &&
        findByte(code, '\0') == std::string_view::npos) {
        const std::uint64_t bytes = slotBytes(code.data(), code.size());
        std::memcpy(slot.bytes, &bytes, sizeof bytes);
    } else {
        meta |= RegisterIndex::elsewhere;
        const std::uint64_t offset = ix.codes.size();
        if (offset >> 40) fail(FailureKind::OutOfMemory, {e.line, 1}, "code too long");
        auto* b = reinterpret_cast<unsigned char*>(slot.bytes);
        for (int i = 0; i < 5; ++i)
            b[i] = static_cast<unsigned char>(offset >> (8 * i));
        for (int i = 0; i < 3; ++i)
            b[5 + i] = static_cast<unsigned char>(tag >> (8 * i));
        auto size = static_cast<std::uint32_t>(code.size());
        ix.codes.append(reinterpret_cast<const char*>(&size), sizeof size);
        ix.codes.append(code);
    }
    ix.meta[s] = meta;
    if (!ix.lines.empty()) ix.lines[s] = e.line;
    ix.blankInSomeCode = ix.blankInSomeCode || findByte(code, ' ') != std::string_view::npos;
    ++ix.count;
}

// Lines waiting to be inserted while their slots are fetched; inserted in
// register order, so the first line of a code still wins.
struct Batch {
    static constexpr std::size_t size = 512;
    std::vector<Entry> entries;
};

void insertAll(RegisterIndex& ix, Batch& b) {
    if ((ix.count + b.entries.size()) * 3 > ix.slots.size() * 2) grow(ix, 0);
    for (const Entry& e : b.entries)
        insert(ix, e);
    b.entries.clear();
}

// The code a look-up sees in a line whose first "(" is at `open`; for a line
// without one, the code it would have with one: its first column.
std::optional<std::string_view> codeOfLine(std::string_view line, std::size_t open) {
    if (open != std::string_view::npos) {
        std::string_view rest = line.substr(open + 1);
        return rest.substr(0, findByte(rest, ','));
    }
    Column first = findColumn(1, line);
    if (first.fault != ColumnFault::None) return std::nullopt;
    return first.text;
}

} // namespace

RegisterIndex indexRegister(const RegisterText& text, bool withLineNumbers,
                            const std::atomic<bool>* stop) {
    RegisterIndex ix;
    ix.text = text;
    ix.withLines = withLineNumbers;
    // Sized once for every line: growing line by line costs more than counting.
    grow(ix, static_cast<std::size_t>(countLines(text)) * 3 / 2 + 2);
    // No handle: the lines are read by number, and the text may be shared with
    // other threads once it has been read to its end (note [expansions ahead]).
    Batch batch;
    batch.entries.reserve(Batch::size);
    bool any = false;
    for (std::uint64_t number = 1;; ++number) {
        ReadLine r = readLineAt(text, number);
        if (r.read == LineRead::End) break;
        any = true;
        if (r.read == LineRead::Invalid) {
            if (withLineNumbers) ix.stopLines.push_back(r.line.number);
            if (ix.stopLine == 0) {
                ix.stopLine = r.line.number;
                ix.stopKind = FailureKind::InvalidBytes;
                ix.stopColumn = r.invalidColumn;
            }
        }
        bool valid = r.read == LineRead::Line;
        const std::size_t open = findByte(r.line.text, '(');
        bool hasParenthesis = valid && open != std::string_view::npos;
        if (valid && !hasParenthesis && withLineNumbers) ix.stopLines.push_back(r.line.number);
        if (valid && !hasParenthesis && ix.stopLine == 0) {
            ix.stopLine = r.line.number;
            ix.stopKind = FailureKind::LookUpStopped;
            ix.stopColumn = 1;
        }
        // The code of a line whose other bytes the encoding refuses is kept, as
        // if the line were mended, when the code itself is readable.
        std::optional<std::string_view> code = codeOfLine(r.line.text, open);
        if (!code || (!valid && !isValidUtf8(*code))) continue;
        if (code->size() >= UINT32_MAX)
            fail(FailureKind::OutOfMemory, {r.line.number, 1}, "code too long");
        std::uint64_t hash = hashOfText(*code);
        prefetchCode(ix, hash);
        LookedUp found{valid ? r.type : lineTypeOf(r.line.text), hasMoreCharsThan(r.line.text, 2)};
        batch.entries.push_back(
            {hash, *code, found, r.line.number, ix.stopLine != 0, !hasParenthesis});
        if (batch.entries.size() == Batch::size) {
            insertAll(ix, batch);
            if (stop && stop->load(std::memory_order_relaxed)) return ix;
        }
    }
    insertAll(ix, batch);
    ix.empty = !any;
    return ix;
}

const RegisterIndex& indexOf(RegisterLookUp& lookUps) {
    if (lookUps.index) return *lookUps.index;
    if (!lookUps.text.content) lookUps.text = openRegisterText(lookUps.path);
    lookUps.index = std::make_shared<const RegisterIndex>(indexRegister(lookUps.text));
    return *lookUps.index;
}

LookedUp lookUp(const RegisterIndex& ix, std::string_view code) {
    if (ix.empty) failLookUp(ix);
    Probe p = probe(ix, code);
    if (p.stopped) failLookUp(ix);
    return p.found;
}

Probe probe(const RegisterIndex& ix, std::string_view code) {
    bool blank = code.find(' ') != std::string_view::npos;
    if (blank && !ix.blankInSomeCode)
        return probeHashed(ix, 0, blank, [](std::string_view) { return false; });
    return probeHashed(ix, hashOfText(code), blank,
                       [&](std::string_view c) { return sameBytes(c, code); });
}
