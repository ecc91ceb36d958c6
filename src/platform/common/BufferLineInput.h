#pragma once
// Line input over bytes already read; every backend shares these line rules.
#include <string>

#include "platform/Files.h"

namespace velmora {

// Text files larger than this are refused rather than read into memory.
inline constexpr size_t kMaxTextFileBytes = 16u << 20;

class BufferLineInput final : public ILineInput {
public:
    explicit BufferLineInput(std::string bytes) : bytes_(std::move(bytes)) {}
    bool AtEnd() const override { return pos_ >= bytes_.size(); }
    bool ReadLine(std::string& line) override;

private:
    std::string bytes_;
    size_t pos_ = 0;
};

}  // namespace velmora
