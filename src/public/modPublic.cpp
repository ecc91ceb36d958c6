#include "public/modPublic.h"

#include <string>

namespace velmora {
namespace {

// `value` in decimal, zero-padded to `width` characters with its sign, as printf's
// "%0*d" writes it.
void AppendPadded(String& out, int value, int width) {
    char digits[12];
    int count = 0;
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) out += u'-';
    for (int pad = width - count - (value < 0 ? 1 : 0); pad > 0; --pad) out += u'0';
    while (count > 0) out += static_cast<char16_t>(digits[--count]);
}

}  // namespace

String FormatLogEntry(const LocalTime& t, const String& message, int16_t code, const String& name) {
    // Written into one text: the log's entries are many, their pieces small.
    String entry;
    entry.reserve(40 + name.size() + message.size());
    const struct {
        int value, width;
        const char16_t* after;
    } stamp[] = {{t.year, 4, u"-"}, {t.month, 2, u"-"}, {t.day, 2, u"日 "},
                 {t.hour, 2, u":"}, {t.minute, 2, u":"}, {t.second, 2, u"  "}};
    for (const auto& part : stamp) {
        AppendPadded(entry, part.value, part.width);
        entry += part.after;
    }
    if (!name.empty()) entry.append(u"[").append(name).append(u"]");
    if (code != 0) AppendPadded(entry, code, 0);
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
