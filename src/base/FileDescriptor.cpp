#include "base/FileDescriptor.hpp"

#include <cerrno>
#include <unistd.h>

int FileDescriptor::reset() {
    if (fd < 0) return 0;
    // close(2) releases the descriptor even when it reports an error; never retry.
    int result = ::close(std::exchange(fd, -1));
    return result == 0 ? 0 : errno;
}
