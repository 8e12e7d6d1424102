#include "register/Register.hpp"

#include "register/Failure.hpp"
#include "register/OutputFile.hpp"
#include "register/Text.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t readChunk = 1 << 16;

struct FileId {
    dev_t device;
    ino_t inode;
};

// The files open through register handles: the only state the lock rule needs.
std::vector<FileId>& openRegisters() {
    static std::vector<FileId> ids;
    return ids;
}

void release(RegisterHandle& h) {
    if (h.fd < 0) return;
    if (h.locks) {
        auto& ids = openRegisters();
        auto it = std::find_if(ids.begin(), ids.end(), [&](const FileId& id) {
            return id.device == h.device && id.inode == h.inode;
        });
        if (it != ids.end()) ids.erase(it);
    }
    ::close(h.fd);
    h.fd = -1;
}

// Fills the buffer when it is empty; false at the end of the file.
bool fill(RegisterHandle& h) {
    if (h.begin < h.end) return true;
    if (h.drained) return false;
    for (;;) {
        ssize_t n = ::read(h.fd, h.buffer.get(), readChunk);
        if (n > 0) {
            h.begin = 0;
            h.end = static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) {
            h.drained = true;
            return false;
        }
        if (errno != EINTR) failFile(h.path, "hGetLine", errno);
    }
}

} // namespace

RegisterHandle::RegisterHandle(RegisterHandle&& o) noexcept
    : path(std::move(o.path)), fd(o.fd), device(o.device), inode(o.inode), locks(o.locks),
      buffer(std::move(o.buffer)), begin(o.begin), end(o.end), drained(o.drained) {
    o.fd = -1;
}

RegisterHandle& RegisterHandle::operator=(RegisterHandle&& o) noexcept {
    if (this != &o) {
        release(*this);
        path = std::move(o.path);
        fd = o.fd;
        device = o.device;
        inode = o.inode;
        locks = o.locks;
        buffer = std::move(o.buffer);
        begin = o.begin;
        end = o.end;
        drained = o.drained;
        o.fd = -1;
    }
    return *this;
}

RegisterHandle::~RegisterHandle() { release(*this); }

bool isOpenAsRegister(dev_t device, ino_t inode) {
    const auto& ids = openRegisters();
    return std::any_of(ids.begin(), ids.end(), [&](const FileId& id) {
        return id.device == device && id.inode == inode;
    });
}

RegisterHandle readRegister(const std::string& path) {
    // O_NONBLOCK only for the open itself: a FIFO without a writer must not hang.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) failFile(path, "openFile", errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        failFile(path, "openFile", err);
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        fail(path + ": openFile: inappropriate type (is a directory)");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    RegisterHandle h;
    h.path = path;
    h.fd = fd;
    h.device = st.st_dev;
    h.inode = st.st_ino;
    h.locks = S_ISREG(st.st_mode);
    h.buffer = std::make_unique<char[]>(readChunk);
    if (h.locks) openRegisters().push_back({st.st_dev, st.st_ino});
    return h;
}

bool isEndOfRegister(RegisterHandle& h) { return !fill(h); }

std::string endOfFileMessage(const std::string& path) { return path + ": hGetLine: end of file"; }

std::string invalidBytesMessage(const std::string& path) {
    return path + ": hGetLine: invalid argument (invalid byte sequence)";
}

void getALine(RegisterHandle& h, std::string& line) {
    switch (readLine(h, line)) {
    case LineRead::End:
        fail(endOfFileMessage(h.path));
    case LineRead::Invalid:
        fail(invalidBytesMessage(h.path));
    case LineRead::Line:
        break;
    }
}

std::string getALine(RegisterHandle& h) {
    std::string line;
    getALine(h, line);
    return line;
}

LineRead readLine(RegisterHandle& h, std::string& line) {
    if (!fill(h)) return LineRead::End;
    line.clear();
    for (;;) {
        const char* start = h.buffer.get() + h.begin;
        const void* lf = std::memchr(start, '\n', h.end - h.begin);
        if (lf) {
            auto len = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
            line.append(start, len);
            h.begin += len + 1;
            break;
        }
        line.append(start, h.end - h.begin);
        h.begin = h.end;
        if (!fill(h)) break; // a last line without line feed
    }
    return decodeFromLocale(line) ? LineRead::Line : LineRead::Invalid;
}

// note [code of a line]: a look-up takes as code the text after the first "(" of
// the line, wherever it stands, up to the next ","; unlike the column getters it
// ignores what comes before the "(" (a blank, say). A line without "(" stops it.
std::string_view lookUpCode(std::string_view line) {
    std::size_t open = line.find('(');
    if (open == std::string_view::npos) fail(tailOfEmpty);
    std::string_view rest = line.substr(open + 1);
    return rest.substr(0, rest.find(','));
}

std::string getRegisterLine(RegisterHandle& h, std::string_view code) {
    for (;;) {
        std::string line = getALine(h);
        bool atEnd = isEndOfRegister(h);
        if (lookUpCode(line) == code) return line;
        if (atEnd) return notFound;
    }
}

bool existsInRegister(RegisterHandle& h, std::string_view text) {
    for (;;) {
        std::string line = getALine(h);
        bool atEnd = isEndOfRegister(h);
        if (line.find(text) != std::string::npos) return true;
        if (atEnd) return false;
    }
}

std::string goThroughFile(RegisterHandle& h) { return getALine(h); }

std::string getFirstLine(const std::string& path) {
    RegisterHandle h = readRegister(path);
    return getALine(h);
}

std::string containsCode(const std::vector<std::string>& list, std::string_view text) {
    for (const std::string& s : list)
        if (s.find(text) != std::string::npos) return s;
    fail(headOfEmpty);
}

int openForWriting(const std::string& path, bool truncate) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | (truncate ? 0 : O_APPEND),
                    0666);
    if (fd < 0) failFile(path, "openFile", errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        failFile(path, "openFile", err);
    }
    if (S_ISREG(st.st_mode) && isOpenAsRegister(st.st_dev, st.st_ino)) {
        ::close(fd);
        fail(path + ": openFile: resource busy (file is locked)");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (truncate && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
        int err = errno;
        ::close(fd);
        failFile(path, "openFile", err);
    }
    return fd;
}

void setRegister(const std::string& path, std::string_view text) {
    OutputFile out(path);
    appendLine(out, text);
    finishOutput(out);
}

void creatRegister(const std::string& name) {
    std::string path = "/tmp/" + name + ".reg";
    OutputFile out(path, OutputFile::Truncate);
    appendText(out, " ");
    finishOutput(out);
}

void deleteRegister(const std::string& path) {
    if (::unlink(path.c_str()) != 0) failFile(path, "removeLink", errno);
}
