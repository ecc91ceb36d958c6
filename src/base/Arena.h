#pragma once
// Memory handed out by moving a cursor through large blocks and given back all at
// once with the arena: for thousands of small pieces that all go together.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <memory_resource>
#include <string_view>
#include <vector>

namespace velmora {

class Arena final : public std::pmr::memory_resource {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    void* Take(size_t size, size_t align) {
        const uintptr_t at = (cursor_ + align - 1) & ~uintptr_t(align - 1);
        if (at < cursor_ || at > end_ || size > end_ - at) return Grow(size, align);
        cursor_ = at + size;
        return reinterpret_cast<void*>(at);
    }

    // A copy of `text` that lives as long as the arena.
    std::string_view Copy(std::string_view text) {
        if (text.empty()) return {};  // an empty view may have no bytes at all
        char* kept = static_cast<char*>(Take(text.size(), 1));
        std::memcpy(kept, text.data(), text.size());
        return {kept, text.size()};
    }

    // A copy of `text`, or the one made here lately of the same bytes: a name that
    // recurs in thousands of places (a value's, in every key) is kept once.
    std::string_view Shared(std::string_view text) {
        for (const std::string_view kept : shared_)
            if (kept == text) return kept;
        const std::string_view kept = Copy(text);
        shared_[nextShared_++ % std::size(shared_)] = kept;
        return kept;
    }

private:
    void* do_allocate(size_t size, size_t align) override { return Take(size, align); }
    void do_deallocate(void*, size_t, size_t) override {}
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }
    // A new block that holds `size` bytes at `align`, each block twice the last.
    void* Grow(size_t size, size_t align);

    uintptr_t cursor_ = 0, end_ = 0;
    size_t nextBlock_ = 64 * 1024;
    std::string_view shared_[4];
    size_t nextShared_ = 0;
    std::vector<std::unique_ptr<std::max_align_t[]>> blocks_;
};

}  // namespace velmora
