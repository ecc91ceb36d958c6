#include "public/modPublic.h"

#include <cstdio>
#include <string>

namespace velmora {
namespace {

String TwoDigits(int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", value);
    return FromAscii(buf);
}

String FourDigits(int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d", value);
    return FromAscii(buf);
}

}  // namespace

String FormatLogEntry(const LocalTime& t, const String& message, int16_t code, const String& name) {
    String entry = FourDigits(t.year) + u"-" + TwoDigits(t.month) + u"-" + TwoDigits(t.day) + u"日 " +
                   TwoDigits(t.hour) + u":" + TwoDigits(t.minute) + u":" + TwoDigits(t.second) + u"  ";
    if (!name.empty()) entry += u"[" + name + u"]";
    if (code != 0) entry += FromAscii(std::to_string(code));
    entry += u"  \r\n";
    entry += message;
    entry += u"\r\n";
    return entry;
}

String LogFilePath(Platform& platform) {
    const String folder = platform.host.LogFolder();
    // Without the component's own folder there is no log: never "\Dovrell.log" at
    // the root of whatever drive is current.
    return folder.empty() ? String() : folder + u"\\Dovrell.log";
}

void WriteLog(Platform& platform, const String& message, int16_t code, const String& name) noexcept {
    try {
        const String path = LogFilePath(platform);
        if (path.empty()) return;
        const String entry = FormatLogEntry(platform.host.Now(), message, code, name);
        // One append of the whole entry, so concurrent writers never interleave inside it.
        platform.files.AppendToFile(path, platform.codec.StringToAnsi(entry));
    } catch (...) {
        // The log never affects the call that writes it.
    }
}

}  // namespace velmora
