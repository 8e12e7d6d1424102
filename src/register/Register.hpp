#pragma once
// The register file: read handles, reading lines, look-up by code, and the
// operations that write or remove files.
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// An open, readable register file with its own position. Move-only; closing the
// handle releases the file (see note [lock rule]).
struct RegisterHandle {
    std::string path;
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    bool locks = false; // a regular file: appending to it is refused while open
    std::unique_ptr<char[]> buffer;
    std::size_t begin = 0, end = 0;
    bool drained = false; // read(2) has reported the end of the file

    RegisterHandle() = default;
    RegisterHandle(RegisterHandle&& other) noexcept;
    RegisterHandle& operator=(RegisterHandle&& other) noexcept;
    ~RegisterHandle();
};

RegisterHandle readRegister(const std::string& path);

// The end-of-file test: true when no character is left to read.
bool isEndOfRegister(RegisterHandle& h);

// The next line without its line feed (a carriage return stays in the line).
std::string getALine(RegisterHandle& h);
// The same, into line (whose storage is reused from line to line).
void getALine(RegisterHandle& h, std::string& line);

// getALine without failing: reads the next line into line.
enum class LineRead { Line, End, Invalid };
LineRead readLine(RegisterHandle& h, std::string& line);
std::string endOfFileMessage(const std::string& path);
std::string invalidBytesMessage(const std::string& path);

// The first line from the handle's position on whose code is exactly code, or
// notFound. See note [code of a line].
inline const std::string notFound = " ";
std::string getRegisterLine(RegisterHandle& h, std::string_view code);

// The code a look-up sees in a line: the text after its first "(" up to the next
// ","; fails with the empty-list message when the line has no "(".
std::string_view lookUpCode(std::string_view line);

void setRegister(const std::string& path, std::string_view text);

std::string goThroughFile(RegisterHandle& h);
std::string getFirstLine(const std::string& path);
bool existsInRegister(RegisterHandle& h, std::string_view text);
std::string containsCode(const std::vector<std::string>& list, std::string_view text);
void creatRegister(const std::string& name);
void deleteRegister(const std::string& path);

// note [lock rule]: while a register handle is open on a regular file, that file
// (known by device and inode, whatever the path's spelling) may not be opened for
// writing: a run whose output path names its register never changes the register.
bool isOpenAsRegister(dev_t device, ino_t inode);
// Opens path for writing (appending, or truncating when truncate is set), refusing
// a file under the lock rule; fails with the openFile message. Returns the fd.
int openForWriting(const std::string& path, bool truncate);
