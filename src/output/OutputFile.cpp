#include "output/OutputFile.hpp"

#include "base/Failure.hpp"
#include "base/Text.hpp"
#include "register/Register.hpp"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// note [output guarantee]: wherever a run ends (success, failure, or SIGINT,
// SIGTERM, SIGHUP), each output file holds exactly the complete lines appended
// before that point, in order. Lines are copied into a fixed buffer and
// `committed` moves past a line only once it is whole, so the signal handler can
// write buffer[0, committed) at any moment. Writes of the buffer itself run with
// those signals blocked, so no byte is written twice. A failed write cuts the file
// back to its last complete line.

namespace {

constexpr std::size_t capacity = 1 << 16;
constexpr std::size_t slots = 8;

std::atomic<OutputFile*> live[slots];
std::optional<std::string> deferred;

struct SignalBlock {
    sigset_t old;
    SignalBlock() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        sigprocmask(SIG_BLOCK, &set, &old);
    }
    ~SignalBlock() { sigprocmask(SIG_SETMASK, &old, nullptr); }
};

// Writes all of data; on failure returns errno and leaves the file holding only
// complete lines.
int writeLines(OutputFile& out, const char* data, std::size_t size) {
    off_t before = 0;
    if (out.regular) {
        struct stat st {};
        if (::fstat(out.fd, &st) == 0) before = st.st_size;
    }
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(out.fd, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        int err = n < 0 ? errno : EIO;
        if (out.regular) {
            std::size_t keep = done;
            while (keep > 0 && data[keep - 1] != '\n')
                --keep;
            if (::ftruncate(out.fd, before + static_cast<off_t>(keep)) != 0) {
                // Nothing more can be done; the write error is what gets reported.
            }
        }
        return err;
    }
    return 0;
}

int flushBuffer(OutputFile& out) {
    std::size_t n = out.committed.load();
    if (out.fd < 0 || n == 0) return 0;
    int err = writeLines(out, out.buffer.get(), n);
    out.committed.store(0);
    return err;
}

void open(OutputFile& out) {
    if (!out.wanted) fail(FailureKind::ArgumentMissing);
    out.path = *out.wanted;
    out.fd = openForWriting(out.path, out.mode == OutputFile::Truncate);
    struct stat st {};
    out.regular = ::fstat(out.fd, &st) == 0 && S_ISREG(st.st_mode);
    out.buffer = std::make_unique<char[]>(capacity);
    for (auto& slot : live) {
        OutputFile* empty = nullptr;
        if (slot.compare_exchange_strong(empty, &out)) break;
    }
}

void close(OutputFile& out) {
    for (auto& slot : live) {
        OutputFile* self = &out;
        slot.compare_exchange_strong(self, nullptr);
    }
    ::close(out.fd);
    out.fd = -1;
}

// Adds one complete piece (a line with its line feed) to the buffer.
void appendBytes(OutputFile& out, std::string_view bytes, bool lineFeed) {
    std::size_t size = bytes.size() + (lineFeed ? 1 : 0);
    std::size_t used = out.committed.load();
    if (used + size > capacity) {
        SignalBlock block;
        if (int err = flushBuffer(out)) failFile(FileOperation::PutStr, out.path, err);
        used = 0;
        if (size > capacity) {
            std::string whole(bytes);
            if (lineFeed) whole.push_back('\n');
            if (int err = writeLines(out, whole.data(), whole.size()))
                failFile(FileOperation::PutStr, out.path, err);
            return;
        }
    }
    std::memcpy(out.buffer.get() + used, bytes.data(), bytes.size());
    if (lineFeed) out.buffer[used + bytes.size()] = '\n';
    out.committed.store(used + size);
}

void append(OutputFile& out, std::string_view text, bool lineFeed) {
    if (out.fd < 0) open(out);
    if (needsEncoding()) {
        std::string encoded;
        if (!encodeToLocale(text, encoded)) fail(FailureKind::CannotEncode, {}, out.path);
        return appendBytes(out, encoded, lineFeed);
    }
    appendBytes(out, text, lineFeed);
}

void onInterrupt(int sig) {
    for (auto& slot : live) {
        OutputFile* out = slot.load();
        if (out != nullptr && out->fd >= 0) {
            std::size_t n = out->committed.load();
            std::size_t done = 0;
            while (done < n) {
                ssize_t w = ::write(out->fd, out->buffer.get() + done, n - done);
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) break;
                done += static_cast<std::size_t>(w);
            }
            out->committed.store(0);
        }
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

} // namespace

OutputFile::OutputFile(MaybePath p, Mode m) : wanted(std::move(p)), mode(m) {}

OutputFile::~OutputFile() {
    if (fd < 0) return;
    SignalBlock block;
    if (int err = flushBuffer(*this); err != 0 && !deferred) {
        deferred = fileErrorMessage(FileOperation::PutStr, path, err);
    }
    close(*this);
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
    if (out.fd < 0) return;
    SignalBlock block;
    int err = flushBuffer(out);
    close(out);
    if (err != 0) failFile(FileOperation::PutStr, out.path, err);
}

std::optional<std::string> takeDeferredOutputFailure() {
    std::optional<std::string> d = std::move(deferred);
    deferred.reset();
    return d;
}

void installInterruptFlush() {
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sigaddset(&sa.sa_mask, SIGHUP);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &sa, nullptr);
}

int openForWriting(const std::string& path, bool truncate) {
    int fd = ::open(path.c_str(),
                    O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (truncate ? 0 : O_APPEND), 0666);
    if (fd < 0) failFile(FileOperation::OpenFile, path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        failFile(FileOperation::OpenFile, path, err);
    }
    if (S_ISREG(st.st_mode) && isOpenAsRegister(st.st_dev, st.st_ino)) {
        ::close(fd);
        fail(FailureKind::FileLocked, {}, path);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (truncate && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
        int err = errno;
        ::close(fd);
        failFile(FileOperation::OpenFile, path, err);
    }
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
