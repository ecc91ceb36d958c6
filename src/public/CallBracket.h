#pragma once
// The call bracket every public method of clsTarsin runs: the begin entry, one
// worker made for this call, its answer, the end entry. Internal to the component;
// tests call the brackets directly with a worker of their own.
#include <new>

#include "base/RuntimeError.h"
#include "platform/Platform.h"
#include "public/modPublic.h"

namespace velmora {

inline const String kLogBegin = u"开始";
inline const String kLogEnd = u"结束";
inline const String kLogErrorPrefix = u"错误：";

// A failure from the worker ends the call without an end entry and passes to the caller.
template <class W, class Work>
auto Bracket(Platform& platform, const String& name, Work&& work) -> decltype(work(std::declval<W&>())) {
    WriteLog(platform, kLogBegin, 0, name);
    W worker(platform);
    auto answer = work(worker);
    WriteLog(platform, kLogEnd, 0, name);
    return answer;
}

// The bracket with its own error trap: a failure after the begin entry is cleared,
// no end entry is written, and the answer is the empty value.
template <class W, class Work>
auto TrappedBracket(Platform& platform, const String& name, Work&& work) -> decltype(work(std::declval<W&>())) {
    WriteLog(platform, kLogBegin, 0, name);
    try {
        W worker(platform);
        auto answer = work(worker);
        WriteLog(platform, kLogEnd, 0, name);
        return answer;
    } catch (...) {
        return decltype(work(std::declval<W&>()))();
    }
}

// The bracket of a method that makes no worker: a failure of `work()` writes the
// entry "错误：" + its description in place of the end entry and is cleared; the
// answer is then the empty value.
template <class Work>
auto ErrorEntryBracket(Platform& platform, const String& name, Work&& work) -> decltype(work()) {
    WriteLog(platform, kLogBegin, 0, name);
    String description;
    try {
        auto answer = work();
        WriteLog(platform, kLogEnd, 0, name);
        return answer;
    } catch (const RuntimeError& e) {
        description = e.Description();
    } catch (const std::bad_alloc&) {
        description = StandardDescription(static_cast<int32_t>(Err::OutOfMemory));
    } catch (...) {
        description = StandardDescription(0);
    }
    WriteLog(platform, kLogErrorPrefix + description, 0, name);
    return decltype(work())();
}

}  // namespace velmora
