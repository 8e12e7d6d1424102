#pragma once
// An open file descriptor that closes itself.
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
