#include "registry/OpenedKey.h"

namespace velmora {

bool RegistryName(Platform& platform, const String& text, std::string& ansi) {
    // Only U+0000 becomes a zero byte in any code page, so the converted bytes show it.
    platform.codec.StringToAnsiInto(text, ansi);
    return ansi.find('\0') == std::string::npos;
}

OpenedKey::OpenedKey(Platform& platform, int32_t rootKey, const String& keyPath, RegView view)
    : registry_(platform.registry) {
    std::string path;
    Open(platform, rootKey, keyPath, view, path);
}

OpenedKey::OpenedKey(Platform& platform, int32_t rootKey, const String& keyPath, RegView view,
                     std::string& pathBuffer)
    : registry_(platform.registry) {
    Open(platform, rootKey, keyPath, view, pathBuffer);
}

void OpenedKey::Open(Platform& platform, int32_t rootKey, const String& keyPath, RegView view, std::string& path) {
    if (!RegistryName(platform, keyPath, path)) return;
    open_ = registry_.RegOpenKeyA(RootKey(rootKey), path.c_str(), key_, view) == kErrorSuccess;
}

OpenedKey::~OpenedKey() {
    if (open_) registry_.RegCloseKey(key_);
}

}  // namespace velmora
