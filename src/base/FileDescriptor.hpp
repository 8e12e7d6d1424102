#pragma once
// An open file descriptor that closes itself.
#include <string_view>
#include <utility>

struct FileDescriptor {
    int fd = -1;

    FileDescriptor() = default;
    explicit FileDescriptor(int f) : fd(f) {}
    FileDescriptor(FileDescriptor&& o) noexcept : fd(std::exchange(o.fd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& o) noexcept {
        if (this != &o) {
            reset();
            fd = std::exchange(o.fd, -1);
        }
        return *this;
    }
    ~FileDescriptor() { reset(); }

    bool isOpen() const { return fd >= 0; }
    // Closes the descriptor; returns close(2)'s errno, or 0.
    int reset();
};

// Writes all of text to fd, again after an interruption; the errno of a
// failure, or 0.
int writeAll(int fd, std::string_view text);
