#include "register/Register.hpp"

#include "base/FileDescriptor.hpp"
#include "base/Memory.hpp"
#include "base/Text.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>

namespace {

constexpr std::size_t firstBlock = std::size_t{1} << 16;
constexpr std::size_t largestRead = std::size_t{1} << 24;
constexpr std::size_t aheadRead = std::size_t{1} << 20; // a reader's piece (note [reading ahead])
constexpr std::uint64_t readerActive = std::uint64_t{1} << 62;
constexpr std::uint64_t readerStopped = std::uint64_t{1} << 63;
constexpr std::uint64_t linesEntered = readerActive - 1;

struct FileId {
    dev_t device;
    ino_t inode;
};

// The files open through register handles: the only state the lock rule needs.
std::vector<const FileId*>& openRegisters() {
    static std::vector<const FileId*> ids;
    return ids;
}

struct BlockRelease {
    std::size_t size;
    void operator()(char* p) const { releaseLarge(p, size); }
};

} // namespace

// The text is kept in blocks that never move once allocated, so a line read
// stays valid for the whole run however much is read after it; a line never
// crosses from one block into the next. Every complete line ends in "\n" (the
// last line of a file without one gets it here).
struct RegisterContent {
    std::string path;
    FileDescriptor file; // open until the end is read; a regular file, for good
    bool locks = false;  // a regular file: appending to it is refused while read
    FileId id{};

    struct Block {
        std::unique_ptr<char[], BlockRelease> bytes;
        std::size_t size = 0;
        std::size_t complete = 0; // bytes of complete lines
        std::size_t used = 0;     // those and the start of the next line
    };
    std::vector<Block> blocks;
    std::string raw; // bytes of an incomplete line, when the locale needs decoding
    bool drained = false;
    std::uint64_t bytes = 0;        // read so far
    std::uint64_t declared = 0;     // a regular file's size when opened
    std::optional<Failure> failure; // of a read, met by whoever reads on

    // note [line table]: every complete line, found once when it is read: its
    // text, its type, and whether its bytes are valid. Handles read lines by
    // their number from here, so no step splits or checks a line again. Kept in
    // chunks that never move, 8 bytes a line: where the line ends (the address
    // of its line feed, in 48 bits), its type and three flags. A line starts
    // just after the line feed of the line before it, unless it is the first of
    // a block (or of the text): such a start is kept in `starts`, as is, in
    // `ends`, an end that does not fit 48 bits.
    struct Line {
        static constexpr unsigned typeShift = 48;
        static constexpr std::uint64_t endMask = (std::uint64_t{1} << typeShift) - 1,
                                       invalidBit = std::uint64_t{1} << 51, // column in invalidAt
            startKeptBit = std::uint64_t{1} << 52, endKeptBit = std::uint64_t{1} << 53;
        std::uint64_t bits;
        LineType type() const { return static_cast<LineType>((bits >> typeShift) & 7); }
        bool invalid() const { return (bits & invalidBit) != 0; }
    };
    static_assert(static_cast<unsigned>(LineType::NoTypeColumn) < 8);
    // Chunks of 4 MiB, mapped in large pages: a run touches every one of them.
    static constexpr std::size_t chunkLines = (std::size_t{4} << 20) / sizeof(Line);
    struct ChunkRelease {
        void operator()(Line* p) const { releaseLarge(p, chunkLines * sizeof(Line)); }
    };
    std::vector<std::unique_ptr<Line[], ChunkRelease>> lines;
    std::uint64_t lineCount = 0;
    const char* lastEnd = nullptr; // of the last line entered
    using SideTable = std::unordered_map<std::uint64_t, std::uint64_t>;
    SideTable starts;    // line: its start, where the line before does not give it
    SideTable ends;      // line: its end, past 48 bits
    SideTable invalidAt; // line: its first bad column

    // note [reading ahead]: the lines a reader on another thread has entered,
    // with readerActive once it is to read and readerStopped once it has stopped.
    std::atomic<std::uint64_t> ahead{0};
    mutable std::mutex sideTables; // starts, ends and invalidAt
    std::exception_ptr readerFailure;

    const Line& line(std::uint64_t number) const {
        return lines[(number - 1) / chunkLines][(number - 1) % chunkLines];
    }
    std::uint64_t sideValue(const SideTable& table, std::uint64_t number) const {
        std::lock_guard<std::mutex> lock(sideTables);
        return table.at(number);
    }
    const char* endOf(std::uint64_t number, const Line& l) const {
        return reinterpret_cast<const char*>(l.bits & Line::endKeptBit ? sideValue(ends, number)
                                                                       : l.bits & Line::endMask);
    }
    // The text of a line read, with its number.
    NumberedLine numbered(std::uint64_t number, const Line& l) const {
        const char* start = l.bits & Line::startKeptBit
                                ? reinterpret_cast<const char*>(sideValue(starts, number))
                                : endOf(number - 1, line(number - 1)) + 1;
        const char* end = endOf(number, l);
        return {std::string_view(start, static_cast<std::size_t>(end - start)), number};
    }
};

namespace {

// Enters one complete line (without its line feed) into the line table.
void addLine(RegisterContent& c, const char* start, std::size_t size, std::uint64_t invalidAt) {
    using Line = RegisterContent::Line;
    if (c.lineCount % RegisterContent::chunkLines == 0)
        c.lines.emplace_back(
            static_cast<Line*>(allocateLarge(RegisterContent::chunkLines * sizeof(Line))));
    Line& l = c.lines.back()[c.lineCount % RegisterContent::chunkLines];
    const char* end = start + size;
    const auto endAddress = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(end));
    const bool invalid = invalidAt != 0;
    const bool startKept = c.lineCount == 0 || start != c.lastEnd + 1;
    const bool endKept = endAddress > Line::endMask;
    const LineType type =
        invalid ? LineType::NoColumnText : lineTypeOf(std::string_view(start, size));
    ++c.lineCount;
    c.lastEnd = end;
    if (invalid || startKept || endKept) {
        std::lock_guard<std::mutex> lock(c.sideTables);
        if (invalid) c.invalidAt[c.lineCount] = invalidAt;
        if (startKept)
            c.starts[c.lineCount] =
                static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(start));
        if (endKept) c.ends[c.lineCount] = endAddress;
    }
    l.bits = (endKept ? 0 : endAddress) | static_cast<std::uint64_t>(type) << Line::typeShift |
             (invalid ? Line::invalidBit : 0) | (startKept ? Line::startKeptBit : 0) |
             (endKept ? Line::endKeptBit : 0);
}

RegisterContent::Block& newBlock(RegisterContent& c, std::size_t size) {
    RegisterContent::Block b;
    b.bytes = std::unique_ptr<char[], BlockRelease>(static_cast<char*>(allocateLarge(size)),
                                                    BlockRelease{size});
    b.size = size;
    c.blocks.push_back(std::move(b));
    return c.blocks.back();
}

// A block with room for `need` more bytes after its complete lines; a partial
// line at the end of the last block moves into the new one.
RegisterContent::Block& roomFor(RegisterContent& c, std::size_t need) {
    if (!c.blocks.empty() && c.blocks.back().size - c.blocks.back().used >= need)
        return c.blocks.back();
    std::size_t tail = c.blocks.empty() ? 0 : c.blocks.back().used - c.blocks.back().complete;
    std::size_t size = c.blocks.empty() ? firstBlock : c.blocks.back().size * 2;
    size = std::max({size, tail + need, firstBlock});
    RegisterContent::Block& b = newBlock(c, size);
    if (tail > 0) {
        RegisterContent::Block& last = c.blocks[c.blocks.size() - 2];
        std::memcpy(b.bytes.get(), last.bytes.get() + last.complete, tail);
        last.used = last.complete;
        b.used = tail;
    }
    return b;
}

// Marks the lines in [from, to) of the last block complete and enters them
// into the line table, noting those whose bytes are not UTF-8.
void completeUtf8(RegisterContent& c, std::size_t from, std::size_t to) {
    RegisterContent::Block& b = c.blocks.back();
    const char* base = b.bytes.get();
    std::string_view all(base + from, to - from);
    std::size_t bad = validUtf8Prefix(all); // the common case: all of it is valid
    for (std::size_t at = 0; at < all.size();) {
        const char* lf =
            static_cast<const char*>(std::memchr(all.data() + at, '\n', all.size() - at));
        std::size_t end = static_cast<std::size_t>(lf - all.data());
        std::uint64_t invalidAt = 0;
        if (bad < end) {
            std::string_view line = all.substr(at, end - at);
            invalidAt = countChars(line.substr(0, bad - at)) + 1;
            std::size_t next = end + 1;
            bad = next < all.size() ? next + validUtf8Prefix(all.substr(next)) : all.size();
        }
        addLine(c, all.data() + at, end - at, invalidAt);
        at = end + 1;
    }
    b.complete = to;
}

// Decodes complete lines of raw bytes into the text (a locale other than UTF-8).
// The raw bytes before `searched` hold no line feed: a long line is searched
// once, not once per read.
void completeDecoded(RegisterContent& c, bool atEnd, std::size_t searched) {
    std::size_t begin = 0;
    std::string decoded;
    for (;;) {
        std::size_t lf = c.raw.find('\n', std::max(begin, searched));
        if (lf == std::string::npos && !(atEnd && begin < c.raw.size())) break;
        std::size_t end = lf == std::string::npos ? c.raw.size() : lf;
        std::string_view line(c.raw.data() + begin, end - begin);
        decoded.clear();
        std::size_t fault = decodeFromLocale(line, decoded);
        std::string_view kept = fault == noFault ? std::string_view(decoded) : line;
        RegisterContent::Block& b = roomFor(c, kept.size() + 1);
        std::memcpy(b.bytes.get() + b.used, kept.data(), kept.size());
        addLine(c, b.bytes.get() + b.used, kept.size(), fault == noFault ? 0 : fault + 1);
        b.used += kept.size();
        b.bytes[b.used++] = '\n';
        b.complete = b.used;
        begin = lf == std::string::npos ? c.raw.size() : lf + 1;
    }
    c.raw.erase(0, begin);
}

// A regular file stays open while its text lives: the lock rule knows it by its
// inode, which a file the run creates would otherwise be given once a register
// replaced during the run is closed (note [lock rule]).
void finish(RegisterContent& c) {
    c.drained = true;
    if (!c.locks) c.file.reset();
}

// Stops reading: a failure every reader meets from here on.
bool stopWith(RegisterContent& c, Failure f) {
    c.failure = std::move(f);
    finish(c);
    return false;
}

// read(2) into dst, counting the bytes against the register's limit.
ssize_t readSome(RegisterContent& c, char* dst, std::size_t room) {
    room = static_cast<std::size_t>(std::min<std::uint64_t>(room, registerLimit() + 1 - c.bytes));
    ssize_t n;
    while ((n = ::read(c.file.fd, dst, room)) < 0 && errno == EINTR) {
    }
    if (n > 0) c.bytes += static_cast<std::uint64_t>(n);
    return n;
}

// Reads more of the file, at most `most` bytes at a time; false when nothing
// more will come (the end, or a failure now kept for every reader).
bool readMore(RegisterContent& c, std::size_t most = largestRead) {
    if (c.drained) return false;
    if (c.bytes > registerLimit() || c.declared > registerLimit())
        return stopWith(c, makeFailure(FailureKind::TooLarge, {}, c.path));
    if (needsEncoding()) {
        char chunk[1 << 16];
        ssize_t n = readSome(c, chunk, sizeof chunk);
        if (n < 0) {
            int err = errno;
            return stopWith(c, fileFailure(FileOperation::GetLine, c.path, err));
        }
        std::size_t searched = c.raw.size();
        c.raw.append(chunk, static_cast<std::size_t>(n));
        completeDecoded(c, n == 0, searched);
        if (n == 0) finish(c);
        return true;
    }
    // UTF-8: read straight into the text, keeping one byte for a last line feed.
    RegisterContent::Block& b = roomFor(c, firstBlock);
    ssize_t n = readSome(c, b.bytes.get() + b.used, std::min(b.size - b.used - 1, most));
    if (n < 0) {
        int err = errno;
        return stopWith(c, fileFailure(FileOperation::GetLine, c.path, err));
    }
    std::size_t start = b.used;
    b.used += static_cast<std::size_t>(n);
    if (n == 0) {
        if (b.used > b.complete) b.bytes[b.used++] = '\n'; // a last line without one
        completeUtf8(c, b.complete, b.used);
        finish(c);
        return true;
    }
    const void* lf = ::memrchr(b.bytes.get() + start, '\n', static_cast<std::size_t>(n));
    if (lf)
        completeUtf8(c, b.complete,
                     static_cast<std::size_t>(static_cast<const char*>(lf) - b.bytes.get()) + 1);
    return true;
}

// note [reading ahead]: a run of fagen reads a regular register on its second
// thread while step 1 takes its lines. The reader enters lines into the line
// table a piece at a time and publishes how many (`ahead`); the run waits for
// the line it needs. Once it has stopped it writes nothing more: at the end of
// the file it has read it all, and the second thread goes on to index it; after
// a failed read the failure is kept for whoever reads on, as always; and if
// the file grows past what the line table's list of chunks was reserved for
// (that list must never move under the run), the run reads the rest itself.
// So every failure comes at the same line as when the run reads alone. The two
// side tables are shared under a mutex.
void publish(RegisterContent& c, std::uint64_t stopped) {
    c.ahead.store(c.lineCount | readerActive | stopped, std::memory_order_release);
    c.ahead.notify_all();
}

// Waits until the reader has entered line `line`; false when there is no
// reader or it has stopped without it: the caller then reads on itself.
bool awaitReader(RegisterContent& c, std::uint64_t line) {
    for (;;) {
        std::uint64_t entered = c.ahead.load(std::memory_order_acquire);
        if (!(entered & readerActive)) return false;
        if ((entered & linesEntered) >= line) return true;
        if (entered & readerStopped) break;
        c.ahead.wait(entered, std::memory_order_acquire);
    }
    if (c.readerFailure) {
        // Bytes may have been read and not kept: nobody reads on.
        std::exception_ptr failure = std::exchange(c.readerFailure, nullptr);
        stopWith(c, makeFailure(FailureKind::OutOfMemory));
        std::rethrow_exception(failure);
    }
    return false;
}

bool readerRunning(std::uint64_t ahead) {
    return (ahead & readerActive) && !(ahead & readerStopped);
}

// The lines the run's thread may read now.
std::uint64_t linesRead(const RegisterContent& c) {
    std::uint64_t entered = c.ahead.load(std::memory_order_acquire);
    return readerRunning(entered) ? entered & linesEntered : c.lineCount;
}

// Reads until line number `line` is complete; false when the text ends before.
bool lineAvailable(RegisterContent& c, std::uint64_t line) {
    if (awaitReader(c, line)) return true;
    while (c.lineCount < line) {
        if (!readMore(c)) {
            if (c.failure) throw *c.failure;
            return c.lineCount >= line;
        }
    }
    return true;
}

void releaseLock(const FileId* id) {
    auto& ids = openRegisters();
    auto it = std::find(ids.begin(), ids.end(), id);
    if (it != ids.end()) ids.erase(it);
    delete id;
}

} // namespace

void LockRelease::operator()(const void* id) const {
    releaseLock(static_cast<const FileId*>(id));
}

RegisterText openRegisterText(const std::string& path, const std::string& name) {
    const std::string& shown = name.empty() ? path : name;
    // O_NONBLOCK only for the open itself: a FIFO without a writer must not hang.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.isOpen()) failFile(FileOperation::OpenFile, shown, errno);
    struct stat st {};
    if (::fstat(fd.fd, &st) != 0) failFile(FileOperation::OpenFile, shown, errno);
    if (S_ISDIR(st.st_mode)) fail(FailureKind::IsDirectory, {}, shown);
    ::fcntl(fd.fd, F_SETFL, ::fcntl(fd.fd, F_GETFL) & ~O_NONBLOCK);
    auto c = std::make_shared<RegisterContent>();
    c->path = shown;
    c->file = std::move(fd);
    c->locks = S_ISREG(st.st_mode);
    c->id = {st.st_dev, st.st_ino};
    // A regular file is read into one block of its size (plus one byte for a
    // missing last line feed), straight from the kernel.
    if (S_ISREG(st.st_mode)) c->declared = static_cast<std::uint64_t>(st.st_size);
    if (S_ISREG(st.st_mode) && st.st_size > 0 && !needsEncoding() && c->declared <= registerLimit())
        newBlock(*c, static_cast<std::size_t>(st.st_size) + 1 + firstBlock);
    return {c};
}

RegisterText registerTextOf(std::string_view text, const std::string& name) {
    auto c = std::make_shared<RegisterContent>();
    c->path = name;
    c->raw.assign(text);
    if (needsEncoding()) {
        completeDecoded(*c, true, 0);
    } else if (!text.empty()) {
        RegisterContent::Block& b = newBlock(*c, text.size() + 1);
        std::memcpy(b.bytes.get(), text.data(), text.size());
        b.used = text.size();
        if (text.back() != '\n') b.bytes[b.used++] = '\n';
        completeUtf8(*c, 0, b.used);
    }
    c->raw.clear();
    c->drained = true;
    return {c};
}

bool startReadingAhead(const RegisterText& text) {
    RegisterContent& c = *text.content;
    if (c.ahead.load() != 0 || c.lineCount != 0 || c.drained || !c.locks || c.declared == 0 ||
        c.declared > registerLimit())
        return false;
    try {
        c.lines.reserve((c.declared + aheadRead + 2 * firstBlock) / RegisterContent::chunkLines +
                        4);
    } catch (const std::bad_alloc&) {
        return false; // the run reads alone
    }
    c.ahead.store(readerActive);
    return true;
}

bool readOnAhead(const RegisterText& text, const std::atomic<bool>& stop) {
    RegisterContent& c = *text.content;
    try {
        const std::size_t room = (aheadRead + firstBlock) / RegisterContent::chunkLines + 2;
        while (!stop.load(std::memory_order_relaxed) &&
               c.lines.capacity() - c.lines.size() >= room && readMore(c, aheadRead))
            publish(c, 0);
    } catch (...) {
        c.readerFailure = std::current_exception();
    }
    const bool whole = c.drained && !c.failure && !c.readerFailure;
    publish(c, readerStopped);
    return whole;
}

const std::string& registerPath(const RegisterText& text) {
    return text.content->path;
}

std::uint64_t registerLimit() {
    static const std::uint64_t limit = [] {
        long pages = ::sysconf(_SC_PHYS_PAGES), size = ::sysconf(_SC_PAGESIZE);
        std::uint64_t memory = pages > 0 && size > 0 ? static_cast<std::uint64_t>(pages) *
                                                           static_cast<std::uint64_t>(size)
                                                     : UINT64_MAX;
        return std::min<std::uint64_t>(FAGEN_REGISTER_LIMIT, memory);
    }();
    return limit;
}

std::uint64_t countLines(const RegisterText& text) {
    RegisterContent& c = *text.content;
    awaitReader(c, UINT64_MAX);
    while (readMore(c)) {
    }
    if (c.failure) throw *c.failure;
    return c.lineCount;
}

std::optional<NumberedLine> lineAt(const RegisterText& text, std::uint64_t number) {
    RegisterContent& c = *text.content;
    if (number == 0 || !lineAvailable(c, number)) return std::nullopt;
    return c.numbered(number, c.line(number));
}

RegisterHandle::RegisterHandle(RegisterText text) : text_(std::move(text)) {
    const RegisterContent& c = *text_.content;
    if (!c.locks) return;
    auto* id = new FileId(c.id);
    lock_ = RegisterLock(id);
    openRegisters().push_back(id);
}

RegisterHandle readRegister(const RegisterText& text) {
    return RegisterHandle(text);
}

RegisterHandle readRegister(const std::string& path) {
    return RegisterHandle(openRegisterText(path));
}

bool isEndOfRegister(RegisterHandle& h) {
    return !lineAvailable(*h.text().content, h.nextLineNumber());
}

ReadLine readLineAt(const RegisterText& text, std::uint64_t number) {
    RegisterContent& c = *text.content;
    if (!lineAvailable(c, number)) return {};
    const RegisterContent::Line& l = c.line(number);
    return {l.invalid() ? LineRead::Invalid : LineRead::Line, c.numbered(number, l),
            l.invalid() ? c.sideValue(c.invalidAt, number) : 0, l.type()};
}

bool isReadToEnd(const RegisterText& text) {
    const RegisterContent& c = *text.content;
    return !readerRunning(c.ahead.load(std::memory_order_acquire)) && c.drained && !c.failure;
}

std::uint64_t firstLineOfType(const RegisterText& text, LineType type) {
    const RegisterContent& c = *text.content;
    const std::uint64_t read = linesRead(c);
    for (std::uint64_t n = 1; n <= read; ++n) {
        const RegisterContent::Line& l = c.line(n);
        if (l.type() == type && !l.invalid()) return n;
    }
    return 0;
}

ReadLine readLine(RegisterHandle& h) {
    ReadLine r = readLineAt(h.text(), h.nextLineNumber());
    if (r.read != LineRead::End) h.setNextLineNumber(r.line.number + 1);
    return r;
}

NumberedLine nextLine(RegisterHandle& h, LineType& type) {
    ReadLine r = readLine(h);
    if (r.read == LineRead::End) fail(FailureKind::EndOfFile, {}, h.path());
    if (r.read == LineRead::Invalid)
        fail(FailureKind::InvalidBytes, {r.line.number, r.invalidColumn}, h.path());
    type = r.type;
    return r.line;
}

std::optional<NumberedLine> nextLineOfType(RegisterHandle& h, LineType wanted) {
    RegisterContent& c = *h.text().content;
    for (std::uint64_t n = h.nextLineNumber();; n = h.nextLineNumber()) {
        // The lines read so far are passed over in the table itself; a line that
        // fails (bad bytes, no type column) is read the usual way, to fail there.
        // Past `read` no line stopped the pass: lines the reader has entered
        // since are passed over in the next round, never read here as a failure.
        // Lines once read stay read: only past them is the reader asked again.
        std::uint64_t read = h.linesKnownRead();
        if (n > read) {
            if (!lineAvailable(c, n)) return std::nullopt;
            read = linesRead(c);
            h.setLinesKnownRead(read);
        }
        for (; n <= read; ++n) {
            const RegisterContent::Line& l = c.line(n);
            const LineType type = l.type();
            if (type == LineType::NoColumnText || type == LineType::NoTypeColumn) break;
            if (type != wanted) continue;
            h.setNextLineNumber(n + 1);
            return c.numbered(n, l);
        }
        h.setNextLineNumber(n);
        if (n <= read) {
            LineType type;
            NumberedLine line = nextLine(h, type);
            checkedType(line, type); // fails
        }
    }
}

std::optional<NumberedLine> compositeAfter(const RegisterText& text, std::uint64_t after,
                                           std::uint64_t past) {
    const RegisterContent& c = *text.content;
    past = std::min(past, c.lineCount + 1);
    for (std::uint64_t n = after + 1; n < past; ++n) {
        const RegisterContent::Line& l = c.line(n);
        const LineType type = l.type();
        if (l.invalid() || type == LineType::NoColumnText || type == LineType::NoTypeColumn) break;
        if (type == LineType::Composite) return c.numbered(n, l);
    }
    return std::nullopt;
}

std::uint64_t countLinesOfType(RegisterHandle& h, LineType wanted) {
    RegisterContent& c = *h.text().content;
    std::uint64_t count = 0;
    for (std::uint64_t n = h.nextLineNumber();; n = h.nextLineNumber()) {
        if (!lineAvailable(c, n)) return count;
        const std::uint64_t read = linesRead(c); // as in nextLineOfType
        for (; n <= read; ++n) {
            const LineType type = c.line(n).type();
            if (type == LineType::NoColumnText || type == LineType::NoTypeColumn) break;
            count += type == wanted;
        }
        h.setNextLineNumber(n);
        if (n <= read && nextLineOfType(h, wanted)) ++count; // fails at line n
    }
}

NumberedLine nextLine(RegisterHandle& h) {
    LineType type;
    return nextLine(h, type);
}

std::string getALine(RegisterHandle& h) {
    return std::string(nextLine(h).text);
}

// note [code of a line]: a look-up takes as code the text after the first "(" of
// the line, wherever it stands, up to the next ","; unlike the column getters it
// ignores what comes before the "(" (a blank, say). A line without "(" stops it.
std::string_view lookUpCode(NumberedLine line) {
    std::size_t open = line.text.find('(');
    if (open == std::string_view::npos) fail(FailureKind::LookUpStopped, {line.number, 1});
    std::string_view rest = line.text.substr(open + 1);
    return rest.substr(0, rest.find(','));
}

std::string getRegisterLine(RegisterHandle& h, std::string_view code) {
    for (;;) {
        NumberedLine line = nextLine(h);
        bool atEnd = isEndOfRegister(h);
        if (lookUpCode(line) == code) return std::string(line.text);
        if (atEnd) return notFound;
    }
}

bool existsInRegister(RegisterHandle& h, std::string_view text) {
    for (;;) {
        NumberedLine line = nextLine(h);
        bool atEnd = isEndOfRegister(h);
        if (line.text.find(text) != std::string_view::npos) return true;
        if (atEnd) return false;
    }
}

std::string goThroughFile(RegisterHandle& h) {
    return getALine(h);
}

std::string getFirstLine(const std::string& path) {
    RegisterHandle h = readRegister(path);
    return getALine(h);
}

std::string containsCode(const std::vector<std::string>& list, std::string_view text) {
    for (const std::string& s : list)
        if (s.find(text) != std::string::npos) return s;
    fail(FailureKind::ListEmpty);
}

bool isOpenAsRegister(dev_t device, ino_t inode) {
    const auto& ids = openRegisters();
    return std::any_of(ids.begin(), ids.end(), [&](const FileId* id) {
        return id->device == device && id->inode == inode;
    });
}
