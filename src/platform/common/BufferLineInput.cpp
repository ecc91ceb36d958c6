#include "platform/common/BufferLineInput.h"

namespace velmora {

bool BufferLineInput::ReadLine(std::string& line) {
    if (AtEnd()) return false;
    const auto cr = bytes_.find('\r', pos_);
    const auto end = cr == std::string::npos ? bytes_.size() : cr;
    line.assign(bytes_, pos_, end - pos_);
    pos_ = end;
    if (pos_ < bytes_.size()) {  // skip CR, and LF right after it
        ++pos_;
        if (pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
    }
    return true;
}

}  // namespace velmora
