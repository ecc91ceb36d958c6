#pragma once
// Reads a text file a line at a time with a bounded line buffer, so a file of any
// size, or one enormous line, costs a fixed amount of memory.
#include <bit>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/linux/SysFiles.h"

namespace velmora {

// Lines longer than this are handed over cut to this length and marked overlong.
inline constexpr size_t kMaxStreamLine = 4096;

// Calls `visit` for each line (without its LF) until it answers false or the file
// ends; a last line without LF counts. False if the file cannot be opened or read.
bool ForEachLine(const std::string& path, const std::function<bool(std::string_view line, bool overlong)>& visit);

// A file read a chunk at a time for ForEachLineIn, which walks each chunk's lines
// itself; this keeps what lies between chunks: a line begun in one chunk, the last
// line without LF, the end of the file.
class LineChunks {
public:
    static constexpr size_t kChunk = 65536;
    static constexpr size_t kBlock = 64;  // the line ends of a block are found at once

    explicit LineChunks(const std::string& path);
    LineChunks(const LineChunks&) = delete;
    LineChunks& operator=(const LineChunks&) = delete;

    bool Opened() const { return static_cast<bool>(fd_); }
    bool Failed() const { return failed_; }  // a read failed: the lines stopped there
    const char* Bytes() const { return chunk_; }

    // Bit i set where block[i] is LF, for the kBlock bytes at `block`.
    static uint64_t LineFeeds(const char* block) {
#if defined(__SSE2__)
        const __m128i lf = _mm_set1_epi8('\n');
        const auto sixteen = [&](int at) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + at));
            return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf))));
        };
        return sixteen(0) | sixteen(16) << 16 | sixteen(32) << 32 | sixteen(48) << 48;
#else
        uint64_t bits = 0;
        for (size_t i = 0; i < kBlock; ++i) bits |= static_cast<uint64_t>(block[i] == '\n') << i;
        return bits;
#endif
    }

    // Past the chunk's last LF (its rest begins at `from`): the next line, from the
    // chunks that follow. False at the end of the file or when a read fails.
    bool Next(size_t from);
    // What Next found: the line, and where the walk goes on in the chunk now read
    // (nowhere after the file's last line without LF).
    std::string_view line;
    bool overlong = false;
    size_t size = 0, block = 0, start = 0;
    uint64_t ends = 0;  // the block's line ends not yet handed over

private:
    void Carry(std::string_view piece);

    UniqueFd fd_;
    std::string carried_;  // a line begun in an earlier chunk, cut at kMaxStreamLine
    bool carriedOverlong_ = false;
    bool failed_ = false, ended_ = false;
    char chunk_[kChunk + kBlock];  // the last block reads past the data: no LF there
};

// ForEachLine for a visitor the compiler sees: it is inlined where the lines are
// walked, so a line it skips costs a few instructions, and a line that lies whole in
// the chunk read is handed over where it lies.
template <class Visit>
bool ForEachLineIn(const std::string& path, Visit&& visit) {
    LineChunks chunks(path);
    if (!chunks.Opened()) return false;
    const char* const bytes = chunks.Bytes();
    size_t size = 0, block = 0, start = 0;
    uint64_t ends = 0;
    for (;;) {
        std::string_view line;
        bool overlong;
        if (ends != 0) {
            const size_t end = block + static_cast<unsigned>(std::countr_zero(ends));
            ends &= ends - 1;
            overlong = end - start > kMaxStreamLine;
            line = std::string_view(bytes + start, overlong ? kMaxStreamLine : end - start);
            start = end + 1;
        } else if (block + LineChunks::kBlock < size) {
            block += LineChunks::kBlock;
            ends = LineChunks::LineFeeds(bytes + block);
            continue;
        } else {
            if (!chunks.Next(start)) return !chunks.Failed();
            line = chunks.line;
            overlong = chunks.overlong;
            size = chunks.size, block = chunks.block, start = chunks.start, ends = chunks.ends;
        }
        if (!visit(line, overlong)) return true;  // the one call, so that it is inlined
    }
}

}  // namespace velmora
