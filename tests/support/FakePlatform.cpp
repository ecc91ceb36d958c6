#include "FakePlatform.h"

#include <cstring>

#include "platform/common/BufferLineInput.h"
#include "text/Utf.h"

namespace velmora::testing {

void FakePlatform::SetVersion(uint32_t platformId, uint32_t major, uint32_t minor) {
    versionRecord.dwPlatformId = platformId;
    versionRecord.dwMajorVersion = major;
    versionRecord.dwMinorVersion = minor;
    versionWord = (major & 0xFF) | ((minor & 0xFF) << 8);
}

int32_t FakePlatform::GetVersionExA(OsVersionInfoA& info) {
    if (versionExFails || info.dwOSVersionInfoSize != sizeof(OsVersionInfoA)) return 0;
    const uint32_t size = info.dwOSVersionInfoSize;
    info = versionRecord;
    info.dwOSVersionInfoSize = size;
    return 1;
}

uint32_t FakePlatform::GetSystemDirectoryA(char* buffer, uint32_t size) {
    if (!systemDirectory) return 0;
    const auto length = static_cast<uint32_t>(systemDirectory->size());
    if (size < length + 1) return length + 1;
    std::memcpy(buffer, systemDirectory->c_str(), length + 1);
    return length;
}

bool FakePlatform::FileExists(const String& path, FileMarks admit) {
    const auto it = files.find(path);
    if (it == files.end()) return false;
    return admit == FileMarks::HiddenAndSystem || (!it->second.hidden && !it->second.system);
}

std::unique_ptr<ILineInput> FakePlatform::OpenLineInput(const String& path) {
    const auto it = files.find(path);
    if (it == files.end() || it->second.unreadable) return nullptr;
    return std::make_unique<BufferLineInput>(it->second.bytes);
}

bool FakePlatform::AppendToFile(const String& path, std::string_view bytes) {
    ++appendCalls;
    if (appendFails) return false;
    appended[path].append(bytes);
    return true;
}

String FakePlatform::AnsiToString(std::string_view bytes) { return Utf8ToUtf16(bytes); }

std::string FakePlatform::StringToAnsi(StringView text) { return Utf16ToUtf8(text); }

}  // namespace velmora::testing
