#pragma once
// Windows-1252, the code page of the files KRV writes and reads (settings
// sets, recording headers), against Unicode and UTF-8 in memory.
//
// Every byte decodes to one code point and encodes back to itself: the five
// bytes that Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// decode to the C1 control of the same number, as Windows does. A code point
// the code page lacks, and each malformed piece of UTF-8, becomes '?'.
//
// Header only and free of Qt, so that the command-line tools share it.
// Any thread.

#include <string>
#include <string_view>

namespace windows1252 {

inline constexpr char kUnmappable = '?';

// Code points of the bytes 0x80..0x9F.
inline constexpr char32_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t ToUnicode(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char32_t(byte);
}

// The byte of a code point, or -1 when Windows-1252 has none.
constexpr int FromUnicode(char32_t code)
{
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
        return int(code);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == code)
            return 0x80 + i;
    return -1;
}

inline void AppendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out.push_back(char(code));
    } else if (code < 0x800) {
        out.push_back(char(0xC0 | (code >> 6)));
        out.push_back(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(char(0xE0 | (code >> 12)));
        out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(char(0x80 | (code & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (code >> 18)));
        out.push_back(char(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(char(0x80 | (code & 0x3F)));
    }
}

// Decodes the UTF-8 sequence at text[at]; advances at past it. A malformed
// sequence (bad lead byte, missing continuation, overlong form, surrogate,
// beyond U+10FFFF) yields 0xFFFFFFFF and skips its lead byte and the
// continuation bytes that were valid.
constexpr char32_t NextUtf8(std::string_view text, size_t& at)
{
    constexpr char32_t kBad = 0xFFFFFFFF;
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80)
        return lead;
    int more = 0;
    char32_t code = 0, least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        code = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        code = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        code = lead & 0x07;
        least = 0x10000;
    } else {
        return kBad;
    }
    for (int i = 0; i < more; ++i) {
        if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80)
            return kBad;
        code = code << 6 | (static_cast<unsigned char>(text[at++]) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return kBad;
    return code;
}

inline std::string ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char byte : bytes)
        AppendUtf8(out, ToUnicode(static_cast<unsigned char>(byte)));
    return out;
}

inline std::string FromUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const int byte = FromUnicode(NextUtf8(text, at));
        out.push_back(byte < 0 ? kUnmappable : char(byte));
    }
    return out;
}

} // namespace windows1252
