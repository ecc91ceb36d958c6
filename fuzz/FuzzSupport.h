#pragma once
// Shared pieces of the fuzz targets: UTF-16 text from raw bytes, and a scratch
// folder that stands for "/" so the Linux readers parse fuzzed files.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "base/String.h"

namespace velmora::fuzz {

// Every unit pair of the bytes, so NULs and lone surrogates come through as well.
inline String Utf16(std::string_view bytes) {
    String text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8));
    return text;
}

// One text of at most `limit` units, taken from the front of the input.
inline String TakeText(FuzzedDataProvider& input, size_t limit) {
    return Utf16(input.ConsumeRandomLengthString(2 * limit));
}

// A folder under the system's temporary folder, made once per process and removed
// at its end; the text ends in "/".
inline const std::string& ScratchRoot() {
    struct Folder {
        std::string path;
        Folder() {
            std::string pattern = (std::filesystem::temp_directory_path() / "velmora-fuzz-XXXXXX").string();
            if (!::mkdtemp(pattern.data())) std::abort();
            path = pattern + "/";
        }
        ~Folder() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static const Folder folder;
    return folder.path;
}

// Writes `bytes` to `relative` below the scratch root, making its folders; answers the full path.
inline std::string WriteScratch(const std::string& relative, std::string_view bytes) {
    const std::filesystem::path path = ScratchRoot() + relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// Empties the scratch root between runs, so one input's files do not leak into the next.
inline void ClearScratch() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(ScratchRoot(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

}  // namespace velmora::fuzz
