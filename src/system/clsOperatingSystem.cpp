#include "system/clsOperatingSystem.h"

#include <cmath>
#include <cstdio>

#include "base/Int16.h"
#include "base/RuntimeError.h"
#include "registry/RegeditCls.h"
#include "text/Text.h"

namespace velmora {
namespace {

constexpr uint32_t kVersionRecordSize = 148;
constexpr uint32_t kSystemDirBufferSize = 255;
const String kProductMarker = u"Product=";
const String kProductFileName = u"prodspec.ini";
const String kWindows2000Fallback = u"Windows 2000 Professional";
constexpr uint32_t kLastWindowsPlatformId = 3;  // Win32s 0, 95 family 1, NT 2, CE 3

enum class Edition { None, Win95, Win98, WinNT, ProductFile, WinXP, Win2003 };

// One row per line of the edition table; the first row that matches wins.
struct EditionRow {
    uint32_t platformId;
    int32_t majorLow, majorHigh;  // inclusive bounds on the signed major version
    int32_t minorLow, minorHigh;  // inclusive bounds on the signed minor version
    Edition edition;
};

constexpr int32_t kMin = INT32_MIN, kMax = INT32_MAX;
constexpr EditionRow kEditions[] = {
    {kPlatformWin32Windows, 5, kMax, kMin, kMax, Edition::Win98},
    {kPlatformWin32Windows, 4, 4, 1, kMax, Edition::Win98},
    {kPlatformWin32Windows, 4, 4, kMin, 0, Edition::Win95},
    {kPlatformWin32Windows, kMin, 3, kMin, kMax, Edition::Win95},
    {kPlatformWin32Nt, kMin, 4, kMin, kMax, Edition::WinNT},
    {kPlatformWin32Nt, 5, 5, 0, 0, Edition::ProductFile},
    {kPlatformWin32Nt, 5, 5, 1, 1, Edition::WinXP},
    {kPlatformWin32Nt, 5, 5, 2, 2, Edition::Win2003},
};

Edition LookUpEdition(uint32_t platformId, int32_t major, int32_t minor) {
    for (const auto& row : kEditions) {
        if (row.platformId == platformId && major >= row.majorLow && major <= row.majorHigh &&
            minor >= row.minorLow && minor <= row.minorHigh)
            return row.edition;
    }
    return Edition::None;
}

}  // namespace

String clsOperatingSystem::EditionFor(int32_t platformId, int32_t major, int32_t minor) {
    if (static_cast<uint32_t>(platformId) > kLastWindowsPlatformId)
        return platform_.codec.AnsiTextUpToNull(platform_.version.OwnSystemName());
    switch (LookUpEdition(static_cast<uint32_t>(platformId), major, minor)) {
        case Edition::Win95: return u"Windows 95";
        case Edition::Win98: return u"Windows 98";
        case Edition::WinNT: return u"Windows NT";
        case Edition::WinXP: return u"Windows XP Professional";
        case Edition::Win2003: return u"Windows 2003 Server";
        case Edition::ProductFile: {
            String product = GetProductName();
            return product.empty() ? kWindows2000Fallback : product;
        }
        case Edition::None: break;
    }
    return String();
}

String clsOperatingSystem::GetOperatingSystemName() {
    try {
        OsVersionInfoA info{};
        info.dwOSVersionInfoSize = kVersionRecordSize;
        if (platform_.version.GetVersionExA(info) == 0) return String();
        return EditionFor(static_cast<int32_t>(info.dwPlatformId), static_cast<int32_t>(info.dwMajorVersion),
                          static_cast<int32_t>(info.dwMinorVersion));
    } catch (...) {
        return String();  // the trap covers the edition lookup and the product file: no name, not an error
    }
}

String clsOperatingSystem::GetProductName() {
    const String path = GetSystemDir() + kProductFileName;
    if (!platform_.files.FileExists(path, FileMarks::HiddenAndSystem)) return String();
    std::vector<String> lines;
    // Read whole, then split again at CR LF, as the lookup always has: the split trims
    // every line and counts positions in 16 bits, so a product line beyond position
    // 32,767 gives no edition.
    SplitText(ReadTextFile(path), lines, u"\r\n");
    const int16_t count = ToInt16(static_cast<int64_t>(lines.size()) - 1);
    for (int16_t i = 1; i <= count; i = ToInt16(i + 1)) {
        const String& line = lines[static_cast<size_t>(i)];
        if (InStr(1, line, kProductMarker, Compare::Text) > 0)
            return ReplaceAll(line, kProductMarker, u"", Compare::Text);
    }
    return String();
}

String clsOperatingSystem::GetSystemDir() {
    std::string buffer(kSystemDirBufferSize, ' ');
    const uint32_t result = platform_.version.GetSystemDirectoryA(buffer.data(), kSystemDirBufferSize);
    if (static_cast<int32_t>(result) <= 0) return String();
    String dir = platform_.codec.AnsiTextUpToNull(buffer);
    AddDirSep(dir);
    return dir;
}

String clsOperatingSystem::ReadTextFile(const String& path) {
    try {
        if (!platform_.files.FileExists(path, FileMarks::NormalOnly)) return String();
        auto input = platform_.files.OpenLineInput(path);
        if (!input) return String();
        String gathered;
        std::string line;
        while (input->ReadLine(line)) gathered += platform_.codec.AnsiToString(line) + u"\r\n";
        return gathered.empty() ? String() : gathered.substr(0, gathered.size() - 2);
    } catch (...) {
        return String();  // a file that cannot be read reads as empty
    }
}

void SplitText(StringView text, std::vector<String>& pieces, StringView separator) {
    pieces.resize(1);
    int16_t start = 1;
    int16_t count = 0;
    for (;;) {
        count = ToInt16(count + 1);
        const int16_t found = ToInt16(InStr(start, text, separator, Compare::Binary));
        const auto from = static_cast<size_t>(start - 1);
        if (found == 0) {
            pieces.push_back(Trim(from <= text.size() ? text.substr(from) : StringView()));
            return;
        }
        pieces.push_back(Trim(text.substr(from, static_cast<size_t>(found - start))));
        start = ToInt16(static_cast<int64_t>(found) + static_cast<int64_t>(separator.size()));
    }
}

String FormatVersion(int major, int minor, const String& decimalSeparator) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(minor) / 100.0 + major);
    String text = FromAscii(buf);
    // Whatever radix character the C library used sits before the last two digits.
    if (text.size() >= 3) text.replace(text.size() - 3, 1, decimalSeparator);
    return text;
}

String clsOperatingSystem::GetOperatingSystemVersion() {
    try {
        const uint32_t word = platform_.version.GetVersion() & 0xFFFFu;
        return FormatVersion(static_cast<int>(word & 0xFF), static_cast<int>(word >> 8),
                             platform_.host.DecimalSeparator());
    } catch (...) {
        return String();  // the operation's own trap: the empty answer, and the call still ends normally
    }
}

String clsOperatingSystem::GetIEVersion() {
    try {
        RegeditCls registry(platform_);
        const String version =
            registry.GetRegStrValue(kHKeyLocalMachine, u"SOFTWARE\\Microsoft\\Internet Explorer", u"Version", u"vb");
        return version.empty() ? String(u"4.0") : version;
    } catch (...) {
        return String();  // the operation's own trap: the empty answer, not the 4.0 of a missing value
    }
}

uint64_t clsOperatingSystem::TotalMemoryBytes(bool physical) {
    // The 32-bit record caps or wraps from 4 GB on; the 64-bit one gives the real figures.
    MemoryStatusEx extended{};
    extended.dwLength = sizeof extended;
    if (platform_.systemInfo.GlobalMemoryStatusEx(extended) != 0)
        return physical ? extended.ullTotalPhys : extended.ullTotalVirtual;
    MemoryStatus status{};
    platform_.systemInfo.GlobalMemoryStatus(status);
    return physical ? status.dwTotalPhys : status.dwTotalVirtual;
}

String clsOperatingSystem::GetPhysicsMemory() {
    try {
        return FormatKilobytes(TotalMemoryBytes(true), platform_.host.ThousandsSeparator());
    } catch (...) {
        return String();  // the operation's own trap: the empty answer, and the call still ends normally
    }
}

String clsOperatingSystem::GetVirtualMemory() {
    try {
        return FormatKilobytes(TotalMemoryBytes(false), platform_.host.ThousandsSeparator());
    } catch (...) {
        return String();  // the operation's own trap: the empty answer, and the call still ends normally
    }
}

String clsOperatingSystem::GetCurrentComputerName() {
    try {
        constexpr uint32_t kNameBufferChars = 255;
        std::string buffer(kNameBufferChars, '\0');
        uint32_t size = kNameBufferChars;
        platform_.systemInfo.GetComputerNameA(buffer.data(), size);  // result and size are not needed
        const String nul(1, u'\0');
        String text = platform_.codec.AnsiToString(buffer);
        // Cut through the NUL (kept), then delete it: a buffer without a NUL answers
        // the empty name, as it always has.
        const int64_t end = InStr(1, text, nul, Compare::Binary);
        text = end > 0 ? text.substr(0, static_cast<size_t>(end)) : String();
        return ReplaceAll(text, nul, u"", Compare::Text);
    } catch (...) {
        return String();  // its own trap, inside GetComputerName's: the end entry is still written
    }
}

String FormatKilobytes(uint64_t bytes, const String& thousandsSeparator) {
    const uint64_t kilobytes = bytes / 1024;
    return (kilobytes == 0 ? String() : GroupThousands(kilobytes, thousandsSeparator)) + u"KB";
}

}  // namespace velmora
