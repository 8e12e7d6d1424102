#include "base/FileDescriptor.hpp"

#include <cerrno>
#include <unistd.h>

int FileDescriptor::reset() {
    if (fd < 0) return 0;
    // close(2) releases the descriptor even when it reports an error; never retry.
    int result = ::close(std::exchange(fd, -1));
    return result == 0 ? 0 : errno;
}

int writeAll(int fd, std::string_view text) {
    for (std::size_t done = 0; done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}
