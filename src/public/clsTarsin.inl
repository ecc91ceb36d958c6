#pragma once
#include <new>

#include "base/RuntimeError.h"
#include "public/modPublic.h"

namespace velmora {

inline const String kLogBegin = u"开始";
inline const String kLogEnd = u"结束";
inline const String kLogErrorPrefix = u"错误：";

template <class W, class Work>
auto clsTarsin::Bracket(const String& name, Work&& work) -> decltype(work(std::declval<W&>())) {
    WriteLog(platform_, kLogBegin, 0, name);
    W worker(platform_);
    auto answer = work(worker);
    WriteLog(platform_, kLogEnd, 0, name);
    return answer;
}

template <class W, class Work>
auto clsTarsin::TrappedBracket(const String& name, Work&& work) -> decltype(work(std::declval<W&>())) {
    WriteLog(platform_, kLogBegin, 0, name);
    try {
        W worker(platform_);
        auto answer = work(worker);
        WriteLog(platform_, kLogEnd, 0, name);
        return answer;
    } catch (...) {
        return decltype(work(std::declval<W&>()))();
    }
}

template <class Work>
auto clsTarsin::ErrorEntryBracket(const String& name, Work&& work) -> decltype(work()) {
    WriteLog(platform_, kLogBegin, 0, name);
    String description;
    try {
        auto answer = work();
        WriteLog(platform_, kLogEnd, 0, name);
        return answer;
    } catch (const RuntimeError& e) {
        description = e.Description();
    } catch (const std::bad_alloc&) {
        description = StandardDescription(static_cast<int32_t>(Err::OutOfMemory));
    } catch (...) {
        description = StandardDescription(0);
    }
    WriteLog(platform_, kLogErrorPrefix + description, 0, name);
    return decltype(work())();
}

}  // namespace velmora
