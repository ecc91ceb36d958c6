#pragma once
// One opened registry key, closed when it goes out of scope, so every path after a
// successful open closes it.
#include <cstdint>
#include <string>

#include "base/String.h"
#include "platform/Platform.h"

namespace velmora {

class OpenedKey {
public:
    OpenedKey(Platform& platform, int32_t rootKey, const String& keyPath, RegView view = RegView::Own);
    // The same, converting the path in `pathBuffer`, which a caller keeps across opens.
    OpenedKey(Platform& platform, int32_t rootKey, const String& keyPath, RegView view, std::string& pathBuffer);
    ~OpenedKey();
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    bool IsOpen() const { return open_; }
    RegKey Get() const { return key_; }

private:
    void Open(Platform& platform, int32_t rootKey, const String& keyPath, RegView view, std::string& path);

    IRegistry& registry_;
    RegKey key_ = 0;
    bool open_ = false;
};

// The four stored bytes of a 32-bit value in little-endian order, as Windows on x86
// stores a REG_DWORD (and as the readers take a big-endian one too: unswapped).
inline int32_t DwordFromBytes(const uint8_t (&bytes)[4]) {
    return static_cast<int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (uint32_t{bytes[3]} << 24));
}

// A registry name or path in the ANSI code page, written into `ansi`. A text with a
// NUL inside cannot be passed to the ANSI calls whole, so it is refused (false)
// rather than cut.
bool RegistryName(Platform& platform, const String& text, std::string& ansi);

}  // namespace velmora
