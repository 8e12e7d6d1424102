#pragma once
// The register file: its text, read once per run; read handles and their lines;
// look-up by code; and the read half of the lock rule.
#include "register/RegisterLine.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// note [one reading]: a run reads the register's bytes once, and every step and
// every look-up reads those same lines. The plain reading opens the file anew for
// each step and look-up; for a regular file that nobody changes the two cannot be
// told apart, but a pipe or /dev/stdin can be read only once (the plain reading
// gives every later step an empty register and reports success), and a register
// edited during a run would give outputs that describe two registers. The bytes
// are read as the first step asks for lines (or just ahead of it, note [reading
// ahead]), so every failure comes where and when the plain reading meets it:
// the open in step 1, a decoding error or a read error at the line that holds
// it, the lock rule while a step's handle is open. What changes: later steps no
// longer open the file, so they cannot fail to open it or see it changed.
struct RegisterContent;

// The register's text: shared by the handles of a run; copies share it.
struct RegisterText {
    std::shared_ptr<RegisterContent> content;
};

// The most bytes a register may hold: it is read into memory, so no more than
// the machine has (and never past 2^40 bytes; a test build lowers it). A larger
// register stops the run at its first read: "register too large".
#ifndef FAGEN_REGISTER_LIMIT
#define FAGEN_REGISTER_LIMIT (std::uint64_t{1} << 40)
#endif
std::uint64_t registerLimit();

// Opens the register file at path for reading; fails with the openFile message.
// Messages name it by name (the path when empty).
RegisterText openRegisterText(const std::string& path, const std::string& name = {});
// note [reading ahead]: a regular file not yet read can be read by another
// thread while the run takes its lines. startReadingAhead, on the run's thread
// before it reads a line, says whether it will be (from then on the run waits
// for the lines it needs, so readOnAhead must follow); readOnAhead, on the
// other thread, reads until the end, a failure or stop, and is true when it has
// read the whole text without a failure (that thread may then read it too).
bool startReadingAhead(const RegisterText& text);
bool readOnAhead(const RegisterText& text, const std::atomic<bool>& stop);
// A register held in memory, known by name in messages; for tests and checks.
RegisterText registerTextOf(std::string_view text, const std::string& name = "register");
const std::string& registerPath(const RegisterText& text);
// Reads the whole text; the number of its lines.
std::uint64_t countLines(const RegisterText& text);
// Line number (from 1) of the text, read as far as needed; nothing past the end.
std::optional<NumberedLine> lineAt(const RegisterText& text, std::uint64_t number);

// Holds the lock rule for one file while a handle is open on it (note [lock rule]).
struct LockRelease {
    void operator()(const void* id) const;
};
using RegisterLock = std::unique_ptr<const void, LockRelease>;

// An open, readable register with its own position.
class RegisterHandle {
  public:
    explicit RegisterHandle(RegisterText text);

    const std::string& path() const { return registerPath(text_); }
    const RegisterText& text() const { return text_; }
    // The number of the line the next read returns.
    std::uint64_t nextLineNumber() const { return next_; }
    void setNextLineNumber(std::uint64_t line) { next_ = line; }
    // Lines known to be read: none of them is asked for again.
    std::uint64_t linesKnownRead() const { return read_; }
    void setLinesKnownRead(std::uint64_t lines) { read_ = lines; }

  private:
    RegisterText text_;
    std::uint64_t next_ = 1;
    std::uint64_t read_ = 0;
    RegisterLock lock_;
};

RegisterHandle readRegister(const RegisterText& text);
RegisterHandle readRegister(const std::string& path);

// The end-of-file test: true when no character is left to read.
bool isEndOfRegister(RegisterHandle& h);

// The next line without its line feed (a carriage return stays in the line).
std::string getALine(RegisterHandle& h);
// The same as a view into the register's text, with its number.
NumberedLine nextLine(RegisterHandle& h);

// nextLine without failing on the end or on bytes the encoding refuses (read
// errors still fail). An invalid line is its raw bytes; column: where they go wrong.
enum class LineRead : std::uint8_t { Line, End, Invalid };
struct ReadLine {
    LineRead read = LineRead::End;
    NumberedLine line;
    std::uint64_t invalidColumn = 0;
    LineType type = LineType::NoColumnText; // of a line that is read
};
ReadLine readLine(RegisterHandle& h);
// The same for line number (from 1), without a handle.
ReadLine readLineAt(const RegisterText& text, std::uint64_t number);
// Whether the whole text has been read without a failure: from then on it only
// reads what it holds, and may be read from more than one thread.
bool isReadToEnd(const RegisterText& text);
// The first line read so far that has type `type` and bytes the encoding takes;
// 0 when none has.
std::uint64_t firstLineOfType(const RegisterText& text, LineType type);
// nextLine, with the line's type.
NumberedLine nextLine(RegisterHandle& h, LineType& type);
// The next line of type `wanted`, every line on the way checked as each step
// checks it (a line without a type column fails); nothing at the end.
std::optional<NumberedLine> nextLineOfType(RegisterHandle& h, LineType wanted);
// The first composite after line `after` and before line `past` of a text read
// to its end, when no line between them stops a step's walk; nothing otherwise.
std::optional<NumberedLine> compositeAfter(const RegisterText& text, std::uint64_t after,
                                           std::uint64_t past);
// How many times nextLineOfType would return a line before the end: the lines of
// type `wanted` counted in the line table, failing where nextLineOfType fails.
std::uint64_t countLinesOfType(RegisterHandle& h, LineType wanted);

// The first line from the handle's position on whose code is exactly code, or
// notFound. See note [code of a line].
inline const std::string notFound = " ";
std::string getRegisterLine(RegisterHandle& h, std::string_view code);

// The code a look-up sees in a line: the text after its first "(" up to the next
// ","; fails with the empty-list message when the line has no "(".
std::string_view lookUpCode(NumberedLine line);

std::string goThroughFile(RegisterHandle& h);
std::string getFirstLine(const std::string& path);
bool existsInRegister(RegisterHandle& h, std::string_view text);
std::string containsCode(const std::vector<std::string>& list, std::string_view text);

// note [lock rule]: while a register handle is open on a regular file, that file
// (known by device and inode, whatever the path's spelling) may not be opened for
// writing: a run whose output path names its register never changes the register.
// This is the read half; output files hold the other.
bool isOpenAsRegister(dev_t device, ino_t inode);
