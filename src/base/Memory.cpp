#include "base/Memory.hpp"

#include <cstdlib>
#include <sys/mman.h>

namespace {

constexpr std::size_t largeBlock = std::size_t{4} << 20;

} // namespace

void* allocateLarge(std::size_t bytes) {
    if (bytes < largeBlock) {
        void* p = std::calloc(1, bytes ? bytes : 1);
        if (!p) throw std::bad_alloc();
        return p;
    }
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    ::madvise(p, bytes, MADV_HUGEPAGE); // a hint: without it the block still works
    return p;
}

void releaseLarge(void* p, std::size_t bytes) {
    if (bytes < largeBlock) {
        std::free(p);
        return;
    }
    ::munmap(p, bytes);
}
