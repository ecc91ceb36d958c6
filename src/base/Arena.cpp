#include "base/Arena.h"

#include <algorithm>

namespace velmora {

void* Arena::Grow(size_t size, size_t align) {
    const size_t bytes = std::max(nextBlock_, size + align);
    auto block = std::make_unique_for_overwrite<std::max_align_t[]>((bytes + sizeof(std::max_align_t) - 1) /
                                                                    sizeof(std::max_align_t));
    cursor_ = reinterpret_cast<uintptr_t>(block.get());
    end_ = cursor_ + bytes;
    blocks_.push_back(std::move(block));
    nextBlock_ = bytes * 2;
    return Take(size, align);
}

}  // namespace velmora
