#pragma once
// An array of String passed by reference to a method that resizes and fills it.
// A host may hand over an array that cannot be resized (fixed-size, locked, of two
// dimensions, not based at 0); resizing it then fails with the run-time error that
// a ReDim Preserve of it raises, and its elements stay as they were.
#include <optional>
#include <vector>

#include "base/RuntimeError.h"
#include "base/String.h"

namespace velmora {

class StringArrayRef {
public:
    // Any vector is an array the callee may resize.
    StringArrayRef(std::vector<String>& items) : items_(items) {}  // NOLINT: implicit on purpose
    StringArrayRef(std::vector<String>& items, std::optional<Err> refusal) : items_(items), refusal_(refusal) {}

    // Indices 0 to count - 1, keeping the elements that stay.
    void Resize(size_t count) {
        if (refusal_) Raise(*refusal_);
        items_.resize(count);
    }
    void Append(String value) {
        if (refusal_) Raise(*refusal_);
        items_.push_back(std::move(value));
    }
    String& operator[](size_t index) { return items_[index]; }
    size_t size() const { return items_.size(); }

private:
    std::vector<String>& items_;
    std::optional<Err> refusal_;
};

}  // namespace velmora
