#include "expansion/ExpansionsAhead.hpp"

#include "register/RegisterIndex.hpp"

#include <algorithm>
#include <new>

// note [expansions ahead]: once the register is read to its end (by the second
// thread itself, note [reading ahead], or by step 1), the text no longer
// changes, and the composites' lines of step 5 depend on nothing else. The
// second thread then builds the look-up index and makes those lines in chunks
// of register lines, while the run writes steps 1 to 4 and, in step 5, makes
// the chunks the second thread has not taken. Nothing the run does moves:
// - the run still walks every line itself and appends every line in order;
//   only where a line was made ahead does it take the made text instead;
// - a failure met making a line ahead (a code no feature has, say) is thrown
//   by the run when it reaches that line, after the same lines as before; a
//   line that stops a walk (bad bytes, no type column) ends a chunk, and the
//   run meets it on its own walk;
// - lines longer than `longLine`, and what does not fit a chunk's bytes, are
//   left to the run, so the two threads never hold two large expansions, and
//   what is made ahead is bounded (`bytesAhead`);
// - running out of memory ahead only leaves the rest of the chunk to the run;
// - the second thread blocks every signal: handlers run on the run's thread,
//   which alone writes output (note [output guarantee]).
// With one thread (secondThread) every line is made where it is needed.
//
// note [chunks in turn]: the second thread takes the chunks in turn, from the
// first composite's on, as far as the ring and `bytesAhead` let it. The run
// makes a chunk it reaches that nobody has taken line by line, as it appends
// them. When it reaches one that the second thread is still making, it does not
// wait: it takes the next chunk nobody has, makes it aside as the second thread
// would, and looks again. So neither thread waits for the other but at the
// last chunk, however far ahead the second thread got during steps 1 to 4.

namespace {

constexpr std::uint64_t chunkLines = 1024;
constexpr std::size_t ringSize = 256;                      // chunks at most ahead
constexpr std::size_t bytesAhead = std::size_t{8} << 20;   // made and not yet taken
constexpr std::size_t chunkBytes = std::size_t{256} << 10; // made per chunk, about
constexpr std::size_t longLine = std::size_t{64} << 10;    // register bytes
constexpr std::size_t spareCount = 8;                      // storages kept for chunks to come

} // namespace

// Chunks made by different threads at once lie apart: their lines are written there.
struct alignas(128) ExpansionsAhead::Chunk {
    enum class State : std::uint8_t { Free, Making, Done };
    State state = State::Free;
    std::uint64_t id = 0;
    Made made;                    // storage from the spares, while it holds lines
    std::size_t next = 0;         // the next to take
    std::uint64_t failedLine = 0; // a line whose making failed, with
    std::exception_ptr failure;   // what it threw
};

ExpansionsAhead::ExpansionsAhead(const RegisterText& text, MakeLine make, PrepareLine prepare)
    : text_(text), make_(make), prepare_(prepare) {
    if (!text.content) return;
    chunks_.resize(ringSize);
    spare_.reserve(spareCount); // leave() never allocates
    thread_ = secondThread([this] { work(); });
    if (!thread_.joinable()) return;
    // The second thread waits for this: from here on the run takes the lines
    // it reads (note [reading ahead]).
    const bool reads = startReadingAhead(text);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        started_ = true;
        readsAhead_ = reads;
    }
    changed_.notify_all();
}

void ExpansionsAhead::registerRead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        registerRead_ = true;
    }
    changed_.notify_all();
}

ExpansionsAhead::~ExpansionsAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::shared_ptr<const RegisterIndex> ExpansionsAhead::index() {
    if (!thread_.joinable()) return nullptr;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return indexDone_; });
    return index_;
}

std::size_t ExpansionsAhead::heldBytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t held = 0;
    auto heldBy = [](const Made& m) {
        return m.text.capacity() + m.lines.capacity() * sizeof(std::uint64_t) +
               m.ends.capacity() * sizeof(std::size_t);
    };
    for (const Chunk& k : chunks_)
        held += heldBy(k.made);
    for (const Made& m : spare_)
        held += heldBy(m);
    return held;
}

void ExpansionsAhead::giveBack(Chunk& k) {
    bytesAhead_ -= k.made.text.size();
    // note [spare storage]: a chunk's storage goes back to the spares, the last
    // given back taken first, so the chunks of step 5 write into the same few,
    // already in memory, wherever the ring puts them; a slot keeps none.
    if (!k.made.held()) return;
    k.made.text.clear();
    k.made.lines.clear();
    k.made.ends.clear();
    if (spare_.size() < spareCount) spare_.push_back(std::move(k.made));
    Made().swap(k.made);
}

void ExpansionsAhead::leave(std::unique_lock<std::mutex>&) {
    if (!current_) return;
    giveBack(*current_);
    current_->failure = nullptr;
    current_->state = Chunk::State::Free;
    current_ = nullptr;
}

std::optional<std::string_view> ExpansionsAhead::take(std::uint64_t number) {
    if (!thread_.joinable() || number == 0) return std::nullopt;
    const std::uint64_t id = (number - 1) / chunkLines;
    if (id != entered_) {
        entered_ = id;
        std::unique_lock<std::mutex> lock(mutex_);
        leave(lock);
        Chunk& slot = chunks_[id % ringSize];
        passTo(id);
        if (slot.id == id && slot.state != Chunk::State::Free) {
            // note [chunks in turn]: rather than wait for the chunk the second
            // thread is making, the run makes the next one nobody has taken.
            while (slot.state != Chunk::State::Done)
                if (!makeNextAhead(lock)) changed_.wait(lock);
            current_ = &slot;
        }
        // The second thread leaves this chunk, and those before it, to the run.
        passTo(id + 1);
        lock.unlock();
        changed_.notify_all();
    }
    if (!current_) return std::nullopt;
    Chunk& k = *current_;
    if (k.next < k.made.lines.size() && k.made.lines[k.next] == number) {
        std::size_t begin = k.next == 0 ? 0 : k.made.ends[k.next - 1];
        std::string_view made =
            std::string_view(k.made.text).substr(begin, k.made.ends[k.next] - begin);
        ++k.next;
        return made;
    }
    if (k.failure && k.failedLine == number) std::rethrow_exception(k.failure);
    return std::nullopt;
}

void ExpansionsAhead::work() {
    bool reads = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return started_ || stop_; });
        reads = started_ && readsAhead_;
        // A reader that is to read says that it has stopped, even when told to
        // stop before its first piece: the run never waits for it in vain.
        if (stop_ && !reads) return;
    }
    // Once the register is read to its end, by this thread or by step 1, its
    // text no longer changes.
    if (!reads || !readOnAhead(text_, stop_)) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return registerRead_ || stop_; });
        if (stop_) return;
    }
    std::shared_ptr<const RegisterIndex> ix;
    std::uint64_t first = 0; // the first composite's line
    try {
        // A register without composites needs no index.
        if (isReadToEnd(text_)) lineCount_ = countLines(text_);
        first = lineCount_ != 0 ? firstLineOfType(text_, LineType::Composite) : 0;
        if (first != 0)
            ix = std::make_shared<const RegisterIndex>(indexRegister(text_, false, &stop_));
    } catch (...) {
        // The run builds the index itself and meets the failure there.
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        index_ = ix;
        indexDone_ = true;
        // The chunks before the first composite's have nothing to make: the
        // ring's room starts there.
        if (first != 0) passTo((first - 1) / chunkLines);
    }
    changed_.notify_all();
    if (!ix) return;
    ExpansionContext context = expansionOf(text_);
    context.lookUps.index = ix;
    for (;;) {
        Chunk* k = nullptr;
        std::uint64_t id = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            for (;;) {
                if (stop_) return;
                id = nextChunk_;
                if (id * chunkLines >= lineCount_) return;
                if (roomAhead(id)) break;
                changed_.wait(lock);
            }
            k = &claim(id);
        }
        makeChunk(*k, id, context);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finish(*k);
        }
        changed_.notify_all();
    }
}

void ExpansionsAhead::passTo(std::uint64_t chunk) {
    mainChunk_ = std::max(mainChunk_, chunk);
    nextChunk_ = std::max(nextChunk_, chunk);
}

bool ExpansionsAhead::roomAhead(std::uint64_t id) const {
    return id + 1 < mainChunk_ + ringSize && bytesAhead_ < bytesAhead;
}

ExpansionsAhead::Chunk& ExpansionsAhead::claim(std::uint64_t id) {
    Chunk& k = chunks_[id % ringSize];
    giveBack(k); // a chunk the run passed without taking
    k.id = id;
    k.state = Chunk::State::Making;
    nextChunk_ = id + 1;
    return k;
}

void ExpansionsAhead::finish(Chunk& k) {
    k.state = Chunk::State::Done;
    bytesAhead_ += k.made.text.size();
}

bool ExpansionsAhead::makeNextAhead(std::unique_lock<std::mutex>& lock) {
    // Past the chunk the run is in, which the second thread has taken.
    const std::uint64_t id = nextChunk_;
    if (id * chunkLines >= lineCount_ || !roomAhead(id)) return false;
    if (!runContext_) {
        try {
            auto context = std::make_unique<ExpansionContext>(expansionOf(text_));
            context->lookUps.index = index_;
            runContext_ = std::move(context);
        } catch (const std::bad_alloc&) {
            return false; // the run waits instead
        }
    }
    Chunk& k = claim(id);
    lock.unlock();
    makeChunk(k, id, *runContext_);
    lock.lock();
    finish(k);
    return true;
}

void ExpansionsAhead::makeChunk(Chunk& k, std::uint64_t id, ExpansionContext& context) {
    k.made.text.clear();
    k.made.lines.clear();
    k.made.ends.clear();
    k.next = 0;
    k.failedLine = 0;
    k.failure = nullptr;
    const std::uint64_t past = std::min(lineCount_, (id + 1) * chunkLines) + 1;
    for (std::uint64_t n = id * chunkLines + 1; n < past; ++n) {
        ReadLine r = readLineAt(text_, n);
        if (r.read != LineRead::Line || r.type == LineType::NoColumnText ||
            r.type == LineType::NoTypeColumn)
            return; // the run's walk fails here
        if (r.type != LineType::Composite) continue;
        if (r.line.text.size() > longLine || k.made.text.size() > chunkBytes) return;
        // Spare storage goes only to a chunk that makes lines: one that makes
        // none the run never enters, and would hold it to the end.
        if (k.made.lines.empty() && !k.made.held()) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!spare_.empty()) {
                k.made.swap(spare_.back());
                spare_.pop_back();
            }
        }
        // The next composite's words are read and their slots fetched now, so
        // its look-ups wait for memory while this line is made.
        const std::optional<NumberedLine> next = compositeAfter(text_, n, past);
        if (prepare_ && next && next->text.size() <= longLine) {
            try {
                prepare_(*next, context);
            } catch (...) {
                // Only a hint (out of memory, say): the line is made without it.
            }
        }
        const std::size_t start = k.made.text.size();
        try {
            make_(r.line, context, k.made.text);
            k.made.lines.push_back(n);
            k.made.ends.push_back(k.made.text.size());
            // The lines up to the next composite were read for it: none of them
            // stops the walk, and none is a composite.
            if (next) n = next->number - 1;
        } catch (const Failure&) {
            k.made.text.resize(start);
            k.failedLine = n;
            k.failure = std::current_exception();
            return;
        } catch (...) {
            // Out of memory, say: the run makes the rest itself.
            k.made.text.resize(std::min(start, k.made.text.size()));
            if (k.made.lines.size() > k.made.ends.size()) k.made.lines.pop_back();
            return;
        }
    }
}
