#include "text/Utf.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmora {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one sequence at bytes[i], advancing i; invalid input yields U+FFFD
// and consumes one byte so the rest still decodes.
char32_t DecodeOne(std::string_view bytes, size_t& i) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80) { ++i; return b0; }
    const int extra = (b0 >> 5) == 6 ? 1 : (b0 >> 4) == 14 ? 2 : (b0 >> 3) == 30 ? 3 : 0;
    if (extra == 0 || bytes.size() - i <= static_cast<size_t>(extra)) { ++i; return kReplacement; }
    char32_t cp = b0 & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if ((b & 0xC0) != 0x80) { ++i; return kReplacement; }
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++i; return kReplacement; }
    i += extra + 1;
    return cp;
}

// `cp` as UTF-8 into `bytes`; answers how many.
size_t EncodeUtf8(char32_t cp, char* bytes) {
    if (cp < 0x80) {
        bytes[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
        bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
        bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    bytes[0] = static_cast<char>(0xF0 | (cp >> 18));
    bytes[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    bytes[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

// Copies the ASCII units at the start of `from` (at most `count`) to `to` as bytes;
// answers how many.
size_t CopyAscii(const char16_t* from, size_t count, char* to) {
    size_t k = 0;
#if defined(__SSE2__)
    const __m128i notAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
    for (; k + 8 <= count; k += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, notAscii), _mm_setzero_si128())) != 0xFFFF) break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to + k), _mm_packus_epi16(units, units));
    }
    // The last few: the last eight again, those before `k` already copied as ASCII.
    if (k < count && k + 8 > count && count >= 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + count - 8));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, notAscii), _mm_setzero_si128())) == 0xFFFF) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(to + count - 8), _mm_packus_epi16(units, units));
            return count;
        }
    }
#endif
    for (; k < count && from[k] < 0x80; ++k) to[k] = static_cast<char>(from[k]);
    return k;
}

}  // namespace

String Utf8ToUtf16(std::string_view bytes) {
    String out;
    AppendUtf16(out, bytes);
    return out;
}

void AppendUtf16(String& out, std::string_view bytes) {
    // Never more units than bytes: written in place, trimmed once, plain ASCII without a decode.
    const size_t base = out.size();
    size_t n = base;
    out.resize(n + bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        // ASCII sixteen or eight bytes at a time, then byte by byte up to the next sequence.
#if defined(__SSE2__)
        while (i + 16 <= bytes.size()) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
            if (_mm_movemask_epi8(chunk) != 0) break;
            const __m128i zero = _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data() + n), _mm_unpacklo_epi8(chunk, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data() + n + 8), _mm_unpackhi_epi8(chunk, zero));
            n += 16;
            i += 16;
        }
        if (i + 8 <= bytes.size()) {  // eight more, as a name's middle often is
            const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes.data() + i));
            if (_mm_movemask_epi8(eight) == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data() + n), _mm_unpacklo_epi8(eight, _mm_setzero_si128()));
                n += 8;
                i += 8;
            }
        }
        // The last few: the last eight again, when every byte so far was ASCII and
        // so stands where its unit does.
        if (i < bytes.size() && i + 8 > bytes.size() && bytes.size() >= 8 && n - base == i) {
            const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes.data() + bytes.size() - 8));
            if (_mm_movemask_epi8(eight) == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data() + base + bytes.size() - 8),
                                 _mm_unpacklo_epi8(eight, _mm_setzero_si128()));
                n = base + bytes.size();
                break;
            }
        }
#else
        while (i + 8 <= bytes.size()) {
            uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            if (word & 0x8080808080808080ull) break;
            for (size_t k = 0; k < 8; ++k) out[n + k] = static_cast<unsigned char>(bytes[i + k]);
            n += 8;
            i += 8;
        }
#endif
        while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) out[n++] = static_cast<unsigned char>(bytes[i++]);
        if (i == bytes.size()) break;
        char32_t cp = DecodeOne(bytes, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out[n++] = static_cast<char16_t>(0xD800 + (cp >> 10));
            out[n++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out[n++] = static_cast<char16_t>(cp);
        }
    }
    out.resize(n);
}

std::string Utf16ToUtf8(StringView text) {
    std::string out;
    AppendUtf8(out, text);
    return out;
}

void AppendUtf8(std::string& out, StringView text) {
    // Room for all-ASCII text, written in place; each longer sequence grows it as it comes.
    size_t at = out.size();
    out.resize(at + text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t run = CopyAscii(text.data() + i, text.size() - i, out.data() + at);
        at += run;
        i += run;
        if (i == text.size()) break;
        char32_t cp = text[i++];
        if (cp >= 0xD800 && cp <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        char bytes[4];
        const size_t length = EncodeUtf8(cp, bytes);
        if (at + length + (text.size() - i) > out.size()) out.resize(at + length + (text.size() - i));
        std::memcpy(out.data() + at, bytes, length);
        at += length;
    }
    out.resize(at);
}

}  // namespace velmora
