#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "base/RuntimeError.h"
#include "public/CallBracket.h"
#include "public/clsTarsin.h"
#include "text/Utf.h"

namespace velmora {
namespace {

using testing::FakeEntry;
using testing::FakePlatform;


TEST(Facade, OperatingSystemMethodsRunTheBracket) {
    FakePlatform fake;
    fake.SetVersion(2, 5, 1);
    clsTarsin tarsin(fake);
    EXPECT_EQ(tarsin.GetOperatingSystemName(), u"Windows XP Professional");
    EXPECT_EQ(tarsin.GetOperatingSystemVersion(), u"5.01");
    EXPECT_EQ(fake.Log(), FakeEntry("GetOperatingSystemName", "开始") + FakeEntry("GetOperatingSystemName", "结束") +
                               FakeEntry("GetOperatingSystemVersion", "开始") +
                               FakeEntry("GetOperatingSystemVersion", "结束"));
}

TEST(Facade, EmptyWorkerAnswerPassesThrough) {
    FakePlatform fake;
    fake.SetVersion(2, 6, 0);
    clsTarsin tarsin(fake);
    EXPECT_EQ(tarsin.GetOperatingSystemName(), u"");
    EXPECT_EQ(fake.Log(), FakeEntry("GetOperatingSystemName", "开始") + FakeEntry("GetOperatingSystemName", "结束"));
}

// Workers that record their lifetime, to see the bracket's order from outside.
struct Probe {
    static inline std::vector<std::string> events;
    explicit Probe(Platform&) { events.push_back("create"); }
    ~Probe() { events.push_back("release"); }
    int Work() {
        events.push_back("work");
        return 42;
    }
    int Fail() { throw RuntimeError(Err::Overflow); }
};

TEST(Facade, BracketOrderAndOneWorkerPerCall) {
    FakePlatform fake;
    Probe::events.clear();
    EXPECT_EQ(Bracket<Probe>(fake, u"M", ErrorPolicy::Propagate, [](Probe& p) { return p.Work(); }), 42);
    EXPECT_EQ(Bracket<Probe>(fake, u"M", ErrorPolicy::Propagate, [](Probe& p) { return p.Work(); }), 42);
    EXPECT_EQ(Probe::events, (std::vector<std::string>{"create", "work", "release", "create", "work", "release"}));
    EXPECT_EQ(fake.Log(), FakeEntry("M", "开始") + FakeEntry("M", "结束") + FakeEntry("M", "开始") + FakeEntry("M", "结束"));
}

TEST(Facade, WorkerFailureEndsCallWithoutEndEntry) {
    FakePlatform fake;
    Probe::events.clear();
    try {
        Bracket<Probe>(fake, u"GetComputerSoftWare", ErrorPolicy::Propagate, [](Probe& p) { return p.Fail(); });
        ADD_FAILURE() << "the failure must reach the caller";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 6);
        EXPECT_EQ(e.Description(), u"Overflow");
    }
    EXPECT_EQ(Probe::events, (std::vector<std::string>{"create", "release"}));
    EXPECT_EQ(fake.Log(), FakeEntry("GetComputerSoftWare", "开始"));
}

TEST(Facade, UnwritableLogLeavesAnswersAlone) {
    FakePlatform fake;
    fake.SetVersion(1, 4, 10);
    fake.appendFails = true;
    clsTarsin tarsin(fake);
    EXPECT_EQ(tarsin.GetOperatingSystemName(), u"Windows 98");
    EXPECT_EQ(tarsin.GetOperatingSystemVersion(), u"4.10");
    EXPECT_EQ(fake.appendCalls, 4);
}

}  // namespace
}  // namespace velmora
