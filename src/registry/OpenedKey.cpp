#include "registry/OpenedKey.h"

namespace velmora {

bool RegistryName(Platform& platform, const String& text, std::string& ansi) {
    if (text.find(u'\0') != String::npos) return false;
    ansi = platform.codec.StringToAnsi(text);
    return true;
}

OpenedKey::OpenedKey(Platform& platform, int32_t rootKey, const String& keyPath, RegView view)
    : registry_(platform.registry) {
    std::string path;
    if (!RegistryName(platform, keyPath, path)) return;
    open_ = registry_.RegOpenKeyA(RootKey(rootKey), path.c_str(), key_, view) == kErrorSuccess;
}

OpenedKey::~OpenedKey() {
    if (open_) registry_.RegCloseKey(key_);
}

}  // namespace velmora
