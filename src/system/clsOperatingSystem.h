#pragma once
// Worker for the questions about the operating system itself. Lives for one public call.
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

private:
    Platform& platform_;
};

// Splits `text` at every `separator` (exact comparison) into pieces[1..n], each
// trimmed of blanks; pieces[0] keeps its value. Positions and the piece count are
// 16-bit: a separator or piece start beyond 32,767, or more than 32,767 pieces,
// raises Overflow.
void SplitText(StringView text, std::vector<String>& pieces, StringView separator);

// Version text of major + minor / 100 with two decimals and the given separator.
String FormatVersion(int major, int minor, const String& decimalSeparator);

}  // namespace velmora
