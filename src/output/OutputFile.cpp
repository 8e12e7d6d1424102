#include "output/OutputFile.hpp"

#include "base/Failure.hpp"
#include "base/Text.hpp"
#include "register/Register.hpp"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

// note [output guarantee]: wherever a run ends, each output file holds exactly
// the complete lines appended before that point, in order:
// - Lines are copied into a fixed buffer, and `committed` moves past a line only
//   once it is whole, so a signal handler can write buffer[0, committed) at any
//   moment. Every signal whose default action ends the process is caught for
//   that, and then ends it as it would have; the buffer is written by the run
//   with those signals blocked, so no byte is written twice.
// - A write that fails (a full disk, the file-size limit: SIGXFSZ is ignored so
//   that the write fails with EFBIG) cuts the file back to its last complete
//   line, in the handler too (fstat, write and ftruncate are async-signal-safe).
// - An output that is not a regular file (a pipe, a FIFO, a terminal) is written
//   without blocking; while the run waits for its reader, those signals are let
//   through (ppoll), and the handler writes what the run had not yet written, as
//   far as the reader takes it without waiting: a reader that has stopped
//   reading must not keep a signal from ending the run. What it has not taken
//   (at most one buffer, or the rest of a longer line) is lost, and its last
//   line may be incomplete.
// - close(2) can report a write that never reached the file (NFS, quotas): that
//   is a failed write of this output, and since no one can tell which bytes were
//   lost, the file is cut back to what it held before this output's lines.
// - SIGKILL cannot be caught: the file keeps what was written, a prefix of the
//   run's output; what is lost is at most one buffer (capacity) per output.

namespace {

constexpr std::size_t capacity = 1 << 16;
constexpr std::size_t slots = 8;

std::atomic<OutputFile*> live[slots];
std::optional<std::string> deferred;

// The signals whose default action ends the process and that a process can catch.
sigset_t fatalSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTRAP, SIGABRT, SIGUSR1, SIGUSR2, SIGALRM, SIGTERM,
                    SIGSTKFLT, SIGXCPU, SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGSYS})
        sigaddset(&set, sig);
#ifndef __SANITIZE_ADDRESS__ // the sanitizer reports these faults itself
    for (int sig : {SIGILL, SIGBUS, SIGFPE, SIGSEGV})
        sigaddset(&set, sig);
#endif
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig)
        sigaddset(&set, sig);
    return set;
}

struct SignalBlock {
    sigset_t old;
    SignalBlock() {
        sigset_t set = fatalSignals();
        sigprocmask(SIG_BLOCK, &set, &old);
    }
    ~SignalBlock() { sigprocmask(SIG_SETMASK, &old, nullptr); }
};

// Writes data and then tail (complete lines together) from progress on, and
// keeps progress up to date; on failure returns errno and leaves a regular file
// holding only complete lines. When the file is not ready (EAGAIN), waits for it
// under waitMask, or without one returns EAGAIN. Async-signal-safe.
int writeLines(int fd, bool regular, const char* data, std::size_t size, std::string_view tail,
               std::atomic<std::size_t>& progress, const sigset_t* waitMask) {
    const std::size_t total = size + tail.size();
    std::size_t done = progress.load();
    off_t before = 0;
    if (regular) {
        struct stat st {};
        if (::fstat(fd, &st) == 0) before = st.st_size - static_cast<off_t>(done);
    }
    while (done < total) {
        iovec pieces[2];
        int count = 0;
        if (done < size) pieces[count++] = {const_cast<char*>(data + done), size - done};
        std::size_t inTail = done > size ? done - size : 0;
        if (inTail < tail.size())
            pieces[count++] = {const_cast<char*>(tail.data() + inTail), tail.size() - inTail};
        ssize_t n = ::writev(fd, pieces, count);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            progress.store(done);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitMask) {
            pollfd ready{fd, POLLOUT, 0};
            ::ppoll(&ready, 1, nullptr, waitMask); // the fatal signals get through here
            continue;
        }
        int err = n < 0 ? errno : EIO;
        if (regular) {
            std::size_t keep = done;
            auto at = [&](std::size_t k) { return k < size ? data[k] : tail[k - size]; };
            while (keep > 0 && at(keep - 1) != '\n')
                --keep;
            if (::ftruncate(fd, before + static_cast<off_t>(keep)) != 0) {
                // Nothing more can be done; the write error is what gets reported.
            }
        }
        return err;
    }
    return 0;
}

// Writes data and tail from the run, with the fatal signals blocked by block
// except while it waits for a reader.
int writeFromRun(OutputFile& out, const SignalBlock& block, const char* data, std::size_t size,
                 std::string_view tail = {}) {
    OutputFile::Pending pending{data, size, tail};
    out.pending.store(&pending);
    int err = writeLines(out.file.fd, out.regular, data, size, tail, pending.done, &block.old);
    out.pending.store(nullptr);
    return err;
}

int flushBuffer(OutputFile& out, const SignalBlock& block) {
    std::size_t n = out.committed.load();
    if (!out.file.isOpen() || n == 0) return 0;
    int err = writeFromRun(out, block, out.buffer.get(), n);
    out.committed.store(0);
    return err;
}

void open(OutputFile& out) {
    if (!out.wanted) fail(FailureKind::ArgumentMissing);
    out.path = *out.wanted;
    out.file = openForWriting(out.path, out.mode == OutputFile::Truncate);
    struct stat st {};
    out.regular = ::fstat(out.file.fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!out.regular) ::fcntl(out.file.fd, F_SETFL, ::fcntl(out.file.fd, F_GETFL) | O_NONBLOCK);
    out.sizeAtOpen = out.regular ? st.st_size : 0;
    out.buffer = std::make_unique<char[]>(capacity);
    out.encodes = needsEncoding();
    for (auto& slot : live) {
        OutputFile* empty = nullptr;
        if (slot.compare_exchange_strong(empty, &out)) break;
    }
}

// Closes the file; returns close(2)'s errno. A failed close cuts the file back
// to what it held before this output (note [output guarantee]).
int close(OutputFile& out) {
    for (auto& slot : live) {
        OutputFile* self = &out;
        slot.compare_exchange_strong(self, nullptr);
    }
    int err = out.file.reset();
    if (err != 0 && out.regular) {
        FileDescriptor again(::open(out.path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
        if (again.isOpen() && ::ftruncate(again.fd, out.sizeAtOpen) != 0) {
            // The close error is what gets reported.
        }
    }
    return err;
}

[[noreturn]] void failWrite(OutputFile& out, int err) {
    out.failed = true;
    failFile(FileOperation::PutStr, out.path, err);
}

// The buffer written out to make room: apart, so that room's test stays inline.
[[gnu::noinline]] char* roomAfterFlush(OutputFile& out) {
    SignalBlock block;
    if (int err = flushBuffer(out, block)) failWrite(out, err);
    return out.buffer.get();
}

// Room for `size` more bytes at the end of the buffer, which is written out
// first when they do not fit; the bytes count once commit passes them.
inline char* room(OutputFile& out, std::size_t size) {
    const std::size_t used = out.committed.load();
    if (used + size > capacity) return roomAfterFlush(out);
    return out.buffer.get() + used;
}

void commit(OutputFile& out, const char* end) {
    // The handler runs on this thread: the bytes are in place before it can see them.
    out.committed.store(static_cast<std::size_t>(end - out.buffer.get()),
                        std::memory_order_release);
}

// Adds one complete piece (a line with its line feed) to the buffer.
void appendBytes(OutputFile& out, std::string_view bytes, bool lineFeed) {
    std::size_t size = bytes.size() + (lineFeed ? 1 : 0);
    if (size > capacity) { // a line longer than the buffer goes straight out, after it
        SignalBlock block;
        if (int err = flushBuffer(out, block)) failWrite(out, err);
        if (int err = writeFromRun(out, block, bytes.data(), bytes.size(), lineFeed ? "\n" : ""))
            failWrite(out, err);
        return;
    }
    char* at = room(out, size);
    std::memcpy(at, bytes.data(), bytes.size());
    if (lineFeed) at[bytes.size()] = '\n';
    commit(out, at + size);
}

// Copies a piece of a line: most are a few bytes, copied without a call.
void copyPiece(char* to, std::string_view piece) {
    const char* from = piece.data();
    const std::size_t n = piece.size();
    if (n > 16) {
        std::memcpy(to, from, n);
    } else if (n >= 8) { // two copies of a word, which overlap where n < 16
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n >= 2) {
        std::memcpy(to, from, 2);
        std::memcpy(to + n - 2, from + n - 2, 2);
    } else if (n == 1) {
        *to = *from;
    }
}

void append(OutputFile& out, std::string_view text, bool lineFeed) {
    if (!out.file.isOpen()) open(out);
    if (out.encodes) {
        std::string encoded;
        if (!encodeToLocale(text, encoded)) fail(FailureKind::CannotEncode, {}, out.path);
        return appendBytes(out, encoded, lineFeed);
    }
    appendBytes(out, text, lineFeed);
}

void onFatalSignal(int sig) {
    for (auto& slot : live) {
        OutputFile* out = slot.load();
        if (out == nullptr || !out->file.isOpen()) continue;
        // The run waits for a reader in the middle of this write: finish it. Else
        // the buffer is as the run left it.
        if (OutputFile::Pending* p = out->pending.load())
            writeLines(out->file.fd, out->regular, p->data, p->size, p->tail, p->done, nullptr);
        else {
            std::atomic<std::size_t> none{0};
            writeLines(out->file.fd, out->regular, out->buffer.get(), out->committed.load(), {},
                       none, nullptr);
        }
        out->committed.store(0);
    }
    // End as the signal would have: it is blocked until the handler returns.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    raise(sig);
}

// Writes the buffer and closes the file: the errno of the first failure, or 0.
int flushAndClose(OutputFile& out) {
    SignalBlock block;
    int err = flushBuffer(out, block);
    int closeErr = close(out);
    return err != 0 ? err : closeErr;
}

} // namespace

OutputFile::OutputFile(MaybePath p, Mode m) : wanted(std::move(p)), mode(m) {}

OutputFile::~OutputFile() {
    if (!file.isOpen()) return;
    int err = flushAndClose(*this);
    // A failure of this output's own write came first; a close error after it is not reported.
    if (err != 0 && !deferred && !failed)
        deferred = fileErrorMessage(FileOperation::PutStr, path, err);
}

void LineSink::appendPieces(std::initializer_list<std::string_view> pieces) {
    std::string line;
    assignJoined(line, pieces);
    appendLine(line);
}

void OutputFile::appendPieces(std::initializer_list<std::string_view> pieces) {
    std::size_t size = 1; // and the line feed
    for (std::string_view p : pieces) {
        size += p.size();
        // note [piece sizes]: one size at a time. Summed two at a time, each
        // 16-byte read spans two 8-byte stores the caller has only just made,
        // and waits for them to reach the cache: a third of this function's time.
        asm("" : "+r"(size));
    }
    if (!file.isOpen()) open(*this);
    if (encodes || size > capacity) return LineSink::appendPieces(pieces);
    char* at = room(*this, size);
    for (std::string_view p : pieces) {
        copyPiece(at, p);
        at += p.size();
    }
    *at++ = '\n';
    commit(*this, at);
}

void appendLine(OutputFile& out, std::string_view text) {
    append(out, text, true);
}
void OutputFile::appendLine(std::string_view text) {
    append(*this, text, true);
}
void appendText(OutputFile& out, std::string_view text) {
    append(out, text, false);
}

void finishOutput(OutputFile& out) {
    if (!out.file.isOpen()) return;
    if (int err = flushAndClose(out)) failFile(FileOperation::PutStr, out.path, err);
}

std::optional<std::string> takeDeferredOutputFailure() {
    std::optional<std::string> d = std::move(deferred);
    deferred.reset();
    return d;
}

void installOutputGuarantee() {
    std::signal(SIGXFSZ, SIG_IGN); // past the file-size limit a write fails with EFBIG
    struct sigaction sa {};
    sa.sa_handler = onFatalSignal;
    sa.sa_mask = fatalSignals();
    sigset_t set = fatalSignals();
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sigismember(&set, sig) != 1) continue;
        // A signal ignored when fagen started (nohup, a job controller) stays ignored.
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(sig, &sa, nullptr);
    }
}

FileDescriptor openForWriting(const std::string& path, bool truncate) {
    FileDescriptor fd(
        ::open(path.c_str(),
               O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (truncate ? 0 : O_APPEND), 0666));
    if (!fd.isOpen()) failFile(FileOperation::OpenFile, path, errno);
    struct stat st {};
    if (::fstat(fd.fd, &st) != 0) failFile(FileOperation::OpenFile, path, errno);
    if (S_ISREG(st.st_mode) && isOpenAsRegister(st.st_dev, st.st_ino))
        fail(FailureKind::FileLocked, {}, path);
    ::fcntl(fd.fd, F_SETFL, ::fcntl(fd.fd, F_GETFL) & ~O_NONBLOCK);
    if (truncate && S_ISREG(st.st_mode) && ::ftruncate(fd.fd, 0) != 0)
        failFile(FileOperation::OpenFile, path, errno);
    return fd;
}

void setRegister(const std::string& path, std::string_view text) {
    OutputFile out(path);
    appendLine(out, text);
    finishOutput(out);
}

void creatRegister(const std::string& name) {
    OutputFile out("/tmp/" + name + ".reg", OutputFile::Truncate);
    appendText(out, " ");
    finishOutput(out);
}

void deleteRegister(const std::string& path) {
    if (::unlink(path.c_str()) != 0) failFile(FileOperation::RemoveLink, path, errno);
}
