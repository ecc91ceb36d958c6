#pragma once
// How the Linux backend reads the system: owned descriptors, directory streams and locales,
// one bounded file reader, and small text helpers for what the kernel publishes.
#include <dirent.h>
#include <locale.h>
#include <sys/types.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/Text.h"

namespace velmora {

// Owns one handle of the C library and closes it exactly once.
template <typename Handle, auto kNone, auto kClose>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    ~Owned() { reset(); }
    Owned(Owned&& other) noexcept : handle_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != kNone; }
    Handle release() { return std::exchange(handle_, kNone); }
    void reset(Handle handle = kNone) {
        if (handle_ != kNone) kClose(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = kNone;
};

using UniqueFd = Owned<int, -1, &::close>;
using UniqueDir = Owned<DIR*, nullptr, &::closedir>;
using UniqueLocale = Owned<locale_t, locale_t{}, &::freelocale>;

// read(2), continued when a signal interrupts it.
ssize_t ReadRetrying(int fd, char* buffer, size_t size);

// What a reader does with a file longer than its limit.
enum class PastLimit { Cut, Refuse };

// The bytes of `fd` from where it stands, at most `limit`; a longer file is cut there
// or refused (nullopt). Nullopt if reading fails.
std::optional<std::string> ReadBounded(int fd, size_t limit, PastLimit past = PastLimit::Cut);
// The file's bytes, as ReadBounded; nullopt if it cannot be opened. A FIFO does not
// block the open.
std::optional<std::string> ReadSysFile(const std::string& path, size_t limit = 64 * 1024,
                                       PastLimit past = PastLimit::Cut);

// The names in `folder`, those starting with "." left out, at most `limit` of them,
// in the order the folder lists them; none if it cannot be opened.
std::vector<std::string> FolderNames(const std::string& folder, size_t limit = 4096);

// A descriptor that belongs to the process that opened it. A forked child shares its
// parent's position, change flags and event queue, so it gets one of its own.
class ProcessFd {
public:
    explicit ProcessFd(std::function<UniqueFd()> open) : open_(std::move(open)) {}
    // This process's descriptor (-1: none), opened at the first call in each process;
    // `opened` says it was opened just now, so nothing seen before proves anything.
    int Get(bool& opened);
    // Gives the descriptor up for the rest of this process.
    void Drop() { fd_.reset(); }
    // Closes the descriptor; the next Get opens another.
    void Renew() {
        fd_.reset();
        owner_ = 0;
    }

private:
    std::function<UniqueFd()> open_;
    UniqueFd fd_;
    pid_t owner_ = 0;
};

// The value of a udev database property line "E:KEY=value" for block device M:m.
std::optional<std::string> UdevProperty(const std::string& root, unsigned major, unsigned minor, const std::string& key);
// Blanks, tabs, line ends and NULs removed from both ends: how sysfs and ATA strings pad.
inline std::string TrimSpace(std::string_view text) {
    constexpr std::string_view kSpace(" \t\r\n\v\f\0", 7);
    return std::string(TrimView(text, kSpace, kSpace));
}
// Blanks and tabs removed from both ends, and the CR of a line that ended in CR LF.
inline std::string_view TrimBlanks(std::string_view text) { return TrimView(text, " \t", " \t\r"); }
// "key<separator>value" split at the first separator, both sides trimmed of blanks;
// false for a line without one.
inline bool SplitAt(std::string_view line, char separator, std::string_view& key, std::string_view& value) {
    const size_t at = line.find(separator);
    if (at == std::string_view::npos) return false;
    key = TrimBlanks(line.substr(0, at));
    value = TrimBlanks(line.substr(at + 1));
    return true;
}

}  // namespace velmora
