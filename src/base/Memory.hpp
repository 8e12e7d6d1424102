#pragma once
// Storage for the few large arrays of a run (a deep term's workspace, the look-up
// table). Blocks of a megabyte or more are mapped in whole huge pages (note
// [whole huge pages]): touching memory page by page costs more than the work on it.
#include <cstddef>
#include <new>
#include <type_traits>
#include <vector>

// Zeroed memory: fresh pages from the kernel, or calloc for small blocks.
void* allocateLarge(std::size_t bytes);
void releaseLarge(void* p, std::size_t bytes);

template <class T> struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U> LargeAllocator(const LargeAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(allocateLarge(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { releaseLarge(p, n * sizeof(T)); }
    template <class U> bool operator==(const LargeAllocator<U>&) const noexcept { return true; }
};

// A fixed array of zeroed elements (T is all zeros when zero-initialized): made
// without writing it, so a large table costs only the pages its use touches.
template <class T> class ZeroedArray {
  public:
    ZeroedArray() = default;
    explicit ZeroedArray(std::size_t n)
        : data_(n ? static_cast<T*>(allocateLarge(bytes(n))) : nullptr), size_(n) {}
    ZeroedArray(ZeroedArray&& o) noexcept : data_(o.data_), size_(o.size_) {
        o.data_ = nullptr;
        o.size_ = 0;
    }
    ZeroedArray& operator=(ZeroedArray&& o) noexcept {
        ZeroedArray(static_cast<ZeroedArray&&>(o)).swap(*this);
        return *this;
    }
    ~ZeroedArray() {
        if (data_) releaseLarge(data_, size_ * sizeof(T));
    }
    void swap(ZeroedArray& o) noexcept {
        T* d = data_;
        data_ = o.data_;
        o.data_ = d;
        std::size_t s = size_;
        size_ = o.size_;
        o.size_ = s;
    }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

  private:
    static std::size_t bytes(std::size_t n) { // checked before anything is allocated
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        return n * sizeof(T);
    }
    T* data_ = nullptr;
    std::size_t size_ = 0;
};

// A list appended to, whose elements never move: a first small block, then
// blocks of 2 MiB in huge pages, so that a million records are never copied
// nor written into page by page.
template <class T> class BlockList {
    static_assert(std::is_trivially_destructible_v<T>);

  public:
    BlockList() = default;
    BlockList(const BlockList&) = delete;
    BlockList& operator=(const BlockList&) = delete;
    ~BlockList() {
        for (std::size_t b = 0; b < blocks_.size(); ++b)
            releaseLarge(blocks_[b], b == 0 ? firstBytes : blockBytes);
    }
    void push_back(const T& value) {
        if (size_ == capacity()) {
            blocks_.reserve(blocks_.size() + 1);
            blocks_.push_back(
                static_cast<T*>(allocateLarge(blocks_.empty() ? firstBytes : blockBytes)));
        }
        new (&at(size_)) T(value);
        ++size_;
    }
    std::size_t size() const { return size_; }
    T& operator[](std::size_t i) { return at(i); }
    const T& operator[](std::size_t i) const { return const_cast<BlockList*>(this)->at(i); }

  private:
    static constexpr std::size_t firstBytes = std::size_t{64} << 10;
    static constexpr std::size_t blockBytes = std::size_t{2} << 20;
    static constexpr std::size_t firstCount = firstBytes / sizeof(T);
    static constexpr std::size_t blockCount = blockBytes / sizeof(T);
    std::size_t capacity() const {
        return blocks_.empty() ? 0 : firstCount + (blocks_.size() - 1) * blockCount;
    }
    T& at(std::size_t i) {
        if (i < firstCount) return blocks_[0][i];
        i -= firstCount;
        return blocks_[1 + i / blockCount][i % blockCount];
    }
    std::vector<T*> blocks_;
    std::size_t size_ = 0;
};
