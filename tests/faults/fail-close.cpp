// Preloaded into fagen by faults.sh: close(2) of any file named fail-close.h
// closes it and then reports EIO, as NFS or a full quota may.
#include <cerrno>
#include <cstdio>
#include <dlfcn.h>
#include <string_view>
#include <unistd.h>

extern "C" int close(int fd) {
    static auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "close"));
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = ::readlink(link, target, sizeof target - 1);
    bool fails =
        n > 0 && std::string_view(target, static_cast<std::size_t>(n)).ends_with("/fail-close.h");
    int result = real(fd);
    if (!fails) return result;
    errno = EIO;
    return -1;
}
