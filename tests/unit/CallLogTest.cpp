#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "public/modPublic.h"
#include "text/Utf.h"

namespace velmora {
namespace {

using testing::FakePlatform;

const LocalTime kTime{2026, 12, 7, 5, 30, 33};

TEST(CallLog, EntryLayout) {
    const struct {
        const char16_t* message;
        int16_t code;
        const char16_t* name;
        const char* expected;
    } cases[] = {
        {u"开始", 0, u"GetDiskSerialNumber", "2026-12-07日 05:30:33  [GetDiskSerialNumber]  \r\n开始\r\n"},
        {u"结束", 5, u"Foo", "2026-12-07日 05:30:33  [Foo]5  \r\n结束\r\n"},
        {u"m", -3, u"", "2026-12-07日 05:30:33  -3  \r\nm\r\n"},
        {u"m", 0, u"", "2026-12-07日 05:30:33    \r\nm\r\n"},
        {u"a\r\nb", 0, u"X", "2026-12-07日 05:30:33  [X]  \r\na\r\nb\r\n"},  // nothing escaped
        {u"错误：Overflow", 0, u"GetCPUName", "2026-12-07日 05:30:33  [GetCPUName]  \r\n错误：Overflow\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf16ToUtf8(FormatLogEntry(kTime, c.message, c.code, c.name)), c.expected);

    const LocalTime early{987, 1, 2, 3, 4, 5};
    EXPECT_EQ(Utf16ToUtf8(FormatLogEntry(early, u"x", 0, u"")), "0987-01-02日 03:04:05    \r\nx\r\n");
}

TEST(CallLog, AppendsBesideTheLibraryOneWritePerEntry) {
    FakePlatform fake;
    fake.moduleFolder = u"C:\\Velmora";
    WriteLog(fake, u"开始", 0, u"A");
    WriteLog(fake, u"结束", 0, u"A");
    ASSERT_EQ(fake.appended.size(), 1u);
    EXPECT_EQ(fake.appended.begin()->first, u"C:\\Velmora\\Dovrell.log");
    EXPECT_EQ(fake.appended.begin()->second,
              "2026-12-07日 05:30:33  [A]  \r\n开始\r\n2026-12-07日 05:30:33  [A]  \r\n结束\r\n");
    EXPECT_EQ(fake.appendCalls, 2);

    fake.moduleFolder = u"C:\\";  // a root folder doubles the separator, which file systems accept
    EXPECT_EQ(LogFilePath(fake), u"C:\\\\Dovrell.log");

    // No folder of its own: the entry is lost, never written at the current drive's root.
    fake.moduleFolder.clear();
    WriteLog(fake, u"开始", 0, u"A");
    EXPECT_EQ(fake.appendCalls, 2);
    EXPECT_EQ(fake.appended.size(), 1u);
}

TEST(CallLog, FailureIsSwallowed) {
    FakePlatform fake;
    fake.appendFails = true;
    WriteLog(fake, u"开始", 0, u"A");  // returns normally
    EXPECT_EQ(fake.appendCalls, 1);
    EXPECT_TRUE(fake.appended.empty());
}

}  // namespace
}  // namespace velmora
