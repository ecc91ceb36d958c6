#include "platform/linux/LineStream.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/linux/SysFiles.h"

namespace velmora {

bool ForEachLine(const std::string& path, const std::function<bool(std::string_view line, bool overlong)>& visit) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return false;
    std::string line;
    bool overlong = false, ok = true, more = true;
    char chunk[65536];
    while (more) {
        const ssize_t n = ReadRetrying(fd.get(), chunk, sizeof chunk);
        if (n < 0) { ok = false; break; }
        if (n == 0) {
            if (!line.empty() || overlong) visit(line, overlong);
            break;
        }
        for (std::string_view rest(chunk, static_cast<size_t>(n)); more && !rest.empty();) {
            const size_t end = rest.find('\n');
            const std::string_view piece = rest.substr(0, end);
            if (line.empty() && !overlong && end != std::string_view::npos && piece.size() <= kMaxStreamLine) {
                more = visit(piece, false);  // whole within the chunk: handed over where it lies
                rest.remove_prefix(end + 1);
                continue;
            }
            const size_t room = kMaxStreamLine - line.size();
            if (piece.size() > room) overlong = true;
            line.append(piece.substr(0, room));
            if (end == std::string_view::npos) break;
            more = visit(line, overlong);
            line.clear();
            overlong = false;
            rest.remove_prefix(end + 1);
        }
    }
    return ok;
}

}  // namespace velmora
