#pragma once
// Output files: lines appended through a buffer and written in large pieces (see
// note [output guarantee] for what a file holds when a run ends early), and the
// write half of the lock rule.
#include "base/FileDescriptor.hpp"

#include <atomic>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// An output path that the command line may lack: it is resolved only when the
// first line is appended, and then fails with the index message.
using MaybePath = std::optional<std::string>;

// Where a generator appends its lines: an output file in a run, a list of lines
// in a test.
struct LineSink {
    virtual void appendLine(std::string_view text) = 0;
    // The line made of pieces, one after another: the generators' lines, which
    // an output file puts together in its buffer.
    virtual void appendPieces(std::initializer_list<std::string_view> pieces);

  protected:
    ~LineSink() = default;
};

struct OutputFile final : LineSink {
    enum Mode { Append, Truncate };
    explicit OutputFile(MaybePath path, Mode mode = Append);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Writes what is still buffered; a failure then is kept for main, see
    // takeDeferredOutputFailure.
    ~OutputFile();

    void appendLine(std::string_view text) override;
    void appendPieces(std::initializer_list<std::string_view> pieces) override;

    MaybePath wanted;
    std::string path;
    Mode mode;
    // Opened with the first text, so an output without lines is never created.
    FileDescriptor file;
    bool regular = false;
    bool encodes = false; // lines are converted to the locale's encoding
    off_t sizeAtOpen = 0; // what the file held before this output's lines
    bool failed = false;  // a write of this output failed: the run ends with that failure
    std::unique_ptr<char[]> buffer;
    std::atomic<std::size_t> committed{0}; // bytes of complete lines in buffer
    // A write that waits for a reader (a pipe, a FIFO, a terminal) with signals
    // let through: what it writes and how far it got, for the signal handler.
    struct Pending {
        const char* data;
        std::size_t size;
        std::string_view tail;
        std::atomic<std::size_t> done{0};
    };
    std::atomic<Pending*> pending{nullptr};
};

// Appends text and one line feed; the file is opened on first use.
void appendLine(OutputFile& out, std::string_view text);
// Appends text as it is, without a line feed.
void appendText(OutputFile& out, std::string_view text);
// Writes what is buffered and closes the file; fails with "<path>: hPutStr: ...".
void finishOutput(OutputFile& out);

// A write failure met while a run was already ending with another failure. The
// write came first in the run, so its message is the one to report.
std::optional<std::string> takeDeferredOutputFailure();

// Makes every signal that would end the process first write the complete
// buffered lines (note [output guarantee]), and makes a write past the file-size
// limit fail with EFBIG instead of killing the process.
void installOutputGuarantee();

// Opens path for writing (appending, or truncating when truncate is set),
// refusing a file open as the register (note [lock rule]); fails with the
// openFile message.
FileDescriptor openForWriting(const std::string& path, bool truncate);

// setRegister: appends text and one line feed to the file at path, creating it.
void setRegister(const std::string& path, std::string_view text);
// Makes "/tmp/" + name + ".reg" hold exactly one blank.
void creatRegister(const std::string& name);
void deleteRegister(const std::string& path);
