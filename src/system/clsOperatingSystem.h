#pragma once
// Worker for the questions about the operating system itself. Lives for one public call.
#include <string>
#include <string_view>
#include <vector>

#include "base/String.h"
#include "platform/Platform.h"

namespace velmora {

class clsOperatingSystem {
public:
    explicit clsOperatingSystem(Platform& platform) : platform_(platform) {}

    String GetOperatingSystemName();
    String GetOperatingSystemVersion();

    // The edition for a version record, consulting "prodspec.ini" only for NT 5.0.
    String EditionFor(int32_t platformId, int32_t major, int32_t minor);
    String GetProductName();
    String GetSystemDir();
    String ReadTextFile(const String& path);

    // The browser version from the registry, or "4.0".
    String GetIEVersion();
    // Total physical memory and the user part of the virtual address space, in
    // whole kilobytes ("523,760KB"), from the 64-bit memory status.
    String GetPhysicsMemory();
    String GetVirtualMemory();
    // The computer name, or the empty string.
    String GetCurrentComputerName();

private:
    // Byte count of total physical (or virtual) memory; the 32-bit status only where
    // the 64-bit one is missing.
    uint64_t TotalMemoryBytes(bool physical);

    Platform& platform_;
};

// Splits `text` at every `separator` (exact comparison) into pieces[1..n], each
// trimmed of blanks; pieces[0] keeps its value. Positions and the piece count are
// 16-bit: a separator or piece start beyond 32,767, or more than 32,767 pieces,
// raises Overflow.
void SplitText(StringView text, std::vector<String>& pieces, StringView separator);

// Version text of major + minor / 100 with two decimals and the given separator.
String FormatVersion(int major, int minor, const String& decimalSeparator);

// Whole kilobytes of `bytes` in the pattern "###,###,###" (the separator between
// groups of three, no leading zeros, so zero writes no digits) followed by "KB".
String FormatKilobytes(uint64_t bytes, const String& thousandsSeparator);

}  // namespace velmora
