#pragma once
#include "public/modPublic.h"

namespace velmora {

inline const String kLogBegin = u"开始";
inline const String kLogEnd = u"结束";

template <class W, class Work>
auto clsTarsin::Bracket(const String& name, Work&& work) -> decltype(work(std::declval<W&>())) {
    WriteLog(platform_, kLogBegin, 0, name);
    W worker(platform_);
    auto answer = work(worker);
    WriteLog(platform_, kLogEnd, 0, name);
    return answer;
}

}  // namespace velmora
