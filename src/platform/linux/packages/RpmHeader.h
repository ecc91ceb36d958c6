#pragma once
// One package's header as rpm's database keeps it, read without librpm.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// What the installed-programs list takes from a header; a string absent is empty.
struct RpmHeaderFields {
    std::string name, version, release, arch, vendor, packager;
    std::optional<uint64_t> epoch;  // as librpm hands a number over
};

// The fields of a header blob (the header without its 8-byte lead magic); nullopt
// unless the blob is sound by every check librpm makes on import (exact length, an
// immutable region whose trailer agrees, known types, aligned data within bounds, in
// order, never overlapping, strings terminated) and each wanted tag is there at most
// once, its value of the type rpm writes (STRING; EPOCH one INT32). A blob refused
// here is left for librpm to judge.
std::optional<RpmHeaderFields> ParseRpmHeader(std::string_view blob);

}  // namespace velmora
