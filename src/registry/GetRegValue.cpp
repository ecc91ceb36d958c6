#include "registry/GetRegValue.h"

#include <string>

#include "base/Int16.h"
#include "registry/OpenedKey.h"

namespace velmora {
namespace {

String ReadText(Platform& platform, RegKey key, const std::string& name, uint32_t size) {
    // The text is scanned with a 16-bit position: longer values cannot be read,
    // and are refused before any buffer is made for them.
    if (!FitsInt16(size)) return String();
    std::string buffer(size, '\0');
    if (platform.registry.RegQueryValueExA(key, name.c_str(), nullptr, reinterpret_cast<uint8_t*>(buffer.data()),
                                           &size) != kErrorSuccess)
        return String();
    return TrimNull(platform, platform.codec.AnsiToString(buffer));
}

String ReadNumber(Platform& platform, RegKey key, const std::string& name) {
    uint8_t bytes[4] = {};
    uint32_t size = sizeof bytes;
    if (platform.registry.RegQueryValueExA(key, name.c_str(), nullptr, bytes, &size) != kErrorSuccess)
        return String();
    return FromAscii(std::to_string(DwordFromBytes(bytes)));
}

String ReadBytes(Platform& platform, RegKey key, const std::string& name, uint32_t size) {
    // An empty value has no last byte to count to, and the byte counter is 16-bit.
    if (size == 0 || !FitsInt16(static_cast<int64_t>(size) - 1)) return String();
    std::string bytes(size, '\0');
    if (platform.registry.RegQueryValueExA(key, name.c_str(), nullptr, reinterpret_cast<uint8_t*>(bytes.data()),
                                           &size) != kErrorSuccess)
        return String();
    static constexpr char kHex[] = "0123456789ABCDEF";
    String text;
    for (size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<uint8_t>(bytes[i]);
        if (byte >= 0x10) text += static_cast<char16_t>(kHex[byte >> 4]);
        text += static_cast<char16_t>(kHex[byte & 0xF]);
        text += u' ';
    }
    return text;
}

}  // namespace

String GetRegValue(Platform& platform, int32_t rootKey, const String& keyPath, const String& valueName) {
    try {
        std::string name;
        OpenedKey key(platform, rootKey, keyPath);
        if (!key.IsOpen() || !RegistryName(platform, valueName, name)) return String();
        // The outcome is not looked at: a value that does not exist leaves the type at 0.
        uint32_t type = kRegNone, size = 0;
        platform.registry.RegQueryValueExA(key.Get(), name.c_str(), &type, nullptr, &size);
        switch (type) {
            case kRegSz: return ReadText(platform, key.Get(), name, size);
            case kRegDword: return ReadNumber(platform, key.Get(), name);
            case kRegBinary: return ReadBytes(platform, key.Get(), name, size);
            default: return String();
        }
    } catch (...) {
        return String();  // the reader's own trap: no failure of a read reaches its caller
    }
}

String TrimNull(Platform& platform, const String& text) {
    const int16_t length = ToInt16(static_cast<int64_t>(text.size()));
    for (int16_t i = 0; i < length; ++i) {
        platform.host.ProcessPendingMessages();
        if (text[static_cast<size_t>(i)] == u'\0') return text.substr(0, static_cast<size_t>(i));
    }
    return text;
}

}  // namespace velmora
