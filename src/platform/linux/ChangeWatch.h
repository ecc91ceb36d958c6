#pragma once
// Tells whether any of a set of files or folders may have changed since the last
// look, at the cost of one failing read while nothing happens: an inotify watch on
// each one's folder (a marker that is a folder is watched itself; one that does not
// exist yet, on the nearest folder above it that does), and their stamps (device,
// inode, size, time) taken again only after an event.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/SysFiles.h"

namespace velmora {

class ChangeWatch {
public:
    explicit ChangeWatch(std::vector<std::string> markers);
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    // True at the first call, and then whenever a marker changed since the call
    // before (an event naming a marker counts even when its stamp looks the same: a
    // rewrite within one tick of the file system's clock).
    bool Changed();

private:
    struct Stamp {
        bool exists = false;
        uint64_t device = 0, inode = 0, size = 0;
        int64_t modified = 0;
        bool operator==(const Stamp&) const = default;
    };
    std::vector<Stamp> TakeStamps() const;
    std::vector<std::string> WatchedFolders() const;
    UniqueFd OpenWatch();
    // False when the watch proves nothing happened; `markerNamed` when an event named a marker.
    bool EventsSeen(bool& markerNamed);

    std::vector<std::string> markers_;
    std::vector<std::string> folders_;  // what the open watch covers
    std::vector<Stamp> stamps_;
    bool looked_ = false;
    ProcessFd watch_;  // none: the stamps are taken every time
};

}  // namespace velmora
