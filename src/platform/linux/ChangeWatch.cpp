#include "platform/linux/ChangeWatch.h"

#include <sys/inotify.h>
#include <sys/stat.h>

#include <algorithm>

namespace velmora {
namespace {

bool IsFolder(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The marker itself if it is a folder, else the nearest folder above it that exists.
std::string FolderFor(std::string path) {
    while (!path.empty() && !IsFolder(path)) {
        const size_t slash = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
        path = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    }
    return path;
}

std::string_view BaseName(std::string_view path) {
    if (!path.empty() && path.back() == '/') path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

ChangeWatch::ChangeWatch(std::vector<std::string> markers)
    : markers_(std::move(markers)), watch_([this] { return OpenWatch(); }) {}

std::vector<ChangeWatch::Stamp> ChangeWatch::TakeStamps() const {
    std::vector<Stamp> stamps;
    for (const auto& marker : markers_) {
        struct stat st{};
        if (::stat(marker.c_str(), &st) != 0)
            stamps.emplace_back();
        else
            stamps.push_back({true, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                              static_cast<uint64_t>(st.st_size),
                              static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
    }
    return stamps;
}

std::vector<std::string> ChangeWatch::WatchedFolders() const {
    std::vector<std::string> folders;
    for (const auto& marker : markers_) {
        std::string folder = FolderFor(marker);
        if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(std::move(folder));
    }
    return folders;
}

UniqueFd ChangeWatch::OpenWatch() {
    folders_ = WatchedFolders();
    UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    // Renames over a file (dpkg's and apk's way), edits in place, removal, and the
    // folder itself going away.
    constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVED_FROM |
                                 IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
    for (const auto& folder : folders_)
        if (watch && ::inotify_add_watch(watch.get(), folder.c_str(), kEvents) < 0) watch.reset();
    return watch;
}

bool ChangeWatch::EventsSeen(bool& markerNamed) {
    markerNamed = false;
    bool opened = false;
    const int watch = watch_.Get(opened);
    if (opened || watch < 0) return true;  // a new watch has seen nothing yet
    alignas(inotify_event) char events[4096];
    bool any = false;
    for (;;) {
        const ssize_t got = ReadRetrying(watch, events, sizeof events);
        if (got <= 0) break;  // EAGAIN: nothing (more) queued
        any = true;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            // A folder gone or moved, or events lost: the watch proves nothing any more.
            if (event->mask & (IN_IGNORED | IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                watch_.Renew();
                markerNamed = true;
                return true;
            }
            // Only a write or a rename counts as naming a marker: readers open some
            // files for writing and change their owner without changing a byte (sqlite
            // does so to rpm's log on every read), and their stamps tell that much.
            constexpr uint32_t kContent = IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
            if (event->len > 0 && (event->mask & kContent))
                for (const auto& marker : markers_)
                    if (BaseName(marker) == event->name) markerNamed = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return any;
}

bool ChangeWatch::Changed() {
    // The events are drained before the stamps are taken, so a change while the
    // caller rebuilds still shows at the next call.
    bool markerNamed = false;
    if (!EventsSeen(markerNamed) && looked_) return false;
    std::vector<Stamp> now = TakeStamps();
    const bool first = !looked_;
    const bool changed = first || markerNamed || now != stamps_;
    looked_ = true;
    stamps_ = std::move(now);
    // A marker that appeared or went away may need another folder watched. At the
    // first look the watch was just made from the folders as they are.
    if (changed && !first && WatchedFolders() != folders_) watch_.Renew();
    return changed;
}

}  // namespace velmora
