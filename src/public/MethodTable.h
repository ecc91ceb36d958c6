#pragma once
// The public methods of clsTarsin as data: one row per method, in the type library's
// slot order. The facade runs each row's worker call in the row's bracket; the COM
// object, velmora's method list and its report read the same rows. Internal to the
// component.
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

#include "base/String.h"
#include "base/StringArray.h"
#include "platform/Platform.h"
#include "public/CallBracket.h"

namespace velmora {

class clsTarsin;

enum class ArgumentKind : uint8_t {
    None,
    Drive,      // a drive text ("C:"), passed in
    DriveList,  // an array of String, passed by reference, that the method resizes and fills
};

enum class AnswerKind : uint8_t { Text, Double, Long, Boolean };

// Where velmora's report shows a method: its group (groups in this order), its place
// in the group and its label. A list answer is shown as its count of `listItem`
// ("installed program", plural with an s) unless the list is short.
enum class ReportGroup : uint8_t { Processor, Memory, Disks, Network, Sound, System, Software, NotShown };

struct ReportLine {
    constexpr ReportLine() = default;
    constexpr ReportLine(ReportGroup group, uint8_t place, std::string_view label, std::string_view listItem = {})
        : group(group), place(place), label(label), listItem(listItem) {}

    ReportGroup group = ReportGroup::NotShown;
    uint8_t place = 0;
    std::string_view label;
    std::string_view listItem;
};

using MethodAnswer = std::variant<String, double, int32_t, bool>;

// A call's argument, as the row's ArgumentKind says.
struct MethodArguments {
    String drive;
    StringArrayRef* drives;
};

struct MethodRow {
    std::string_view name;  // ASCII, as the type library spells it
    int32_t dispid;
    ArgumentKind argument;
    AnswerKind answer;
    ErrorPolicy policy;
    // The whole call: the bracket with the row's policy around the row's worker and its operation.
    MethodAnswer (*call)(const MethodRow& row, clsTarsin& self, Platform& platform, MethodArguments& arguments);
    ReportLine report;
};

std::span<const MethodRow> TarsinMethods();

}  // namespace velmora
