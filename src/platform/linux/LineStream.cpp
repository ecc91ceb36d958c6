#include "platform/linux/LineStream.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>

namespace velmora {

LineChunks::LineChunks(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}

void LineChunks::Carry(std::string_view piece) {
    const size_t room = kMaxStreamLine - carried_.size();
    if (piece.size() > room) carriedOverlong_ = true;
    carried_.append(piece.substr(0, room));
}

bool LineChunks::Next(size_t from) {
    if (ended_) return false;
    if (line.data() == carried_.data()) {  // handed over before: done with
        carried_.clear();
        carriedOverlong_ = false;
    }
    Carry(std::string_view(chunk_ + from, size - std::min(from, size)));
    for (;;) {
        const ssize_t got = ReadRetrying(fd_.get(), chunk_, kChunk);
        if (got <= 0) {
            failed_ = got < 0;
            ended_ = true;
            if (failed_ || (carried_.empty() && !carriedOverlong_)) return false;
            line = carried_;
            overlong = carriedOverlong_;
            size = block = start = ends = 0;
            return true;
        }
        size = static_cast<size_t>(got);
        std::memset(chunk_ + size, 0, kBlock);
        for (block = 0; block < size; block += kBlock) {
            ends = LineFeeds(chunk_ + block);
            if (ends == 0) continue;
            const size_t end = block + static_cast<unsigned>(std::countr_zero(ends));
            ends &= ends - 1;
            start = end + 1;
            if (carried_.empty() && !carriedOverlong_) {  // the line lies whole in the chunk
                overlong = end > kMaxStreamLine;
                line = std::string_view(chunk_, overlong ? kMaxStreamLine : end);
            } else {
                Carry(std::string_view(chunk_, end));
                line = carried_;
                overlong = carriedOverlong_;
            }
            return true;
        }
        Carry(std::string_view(chunk_, size));  // no LF in the whole chunk
    }
}

bool ForEachLine(const std::string& path, const std::function<bool(std::string_view line, bool overlong)>& visit) {
    return ForEachLineIn(path, [&](std::string_view line, bool overlong) { return visit(line, overlong); });
}

}  // namespace velmora
