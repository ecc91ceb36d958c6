#include "public/clsTarsin.h"

#include "system/clsOperatingSystem.h"

namespace velmora {

String clsTarsin::GetOperatingSystemName() {
    return Bracket<clsOperatingSystem>(u"GetOperatingSystemName",
                                       [](clsOperatingSystem& w) { return w.GetOperatingSystemName(); });
}

String clsTarsin::GetOperatingSystemVersion() {
    return Bracket<clsOperatingSystem>(u"GetOperatingSystemVersion",
                                       [](clsOperatingSystem& w) { return w.GetOperatingSystemVersion(); });
}

}  // namespace velmora
