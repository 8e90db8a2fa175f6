// The Windows-1252 codec against the C library's own code page table, on
// every byte and every code point, and the text archive at the file boundary.
#include "platform/textarchive.h"
#include "platform/windows1252.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <set>
#include <string>

namespace {
// The code point of a byte by iconv's CP1252, or 0xFFFFFFFF where that
// table leaves the byte unassigned.
char32_t IconvCode(unsigned char byte)
{
    iconv_t cd = iconv_open("UTF-32LE", "CP1252");
    if (cd == iconv_t(-1))
        return 0xFFFFFFFE;
    char in[1] = {char(byte)};
    unsigned char out[4] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = 4;
    const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == size_t(-1))
        return 0xFFFFFFFF;
    return char32_t(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
}

std::string Utf8(char32_t code)
{
    std::string text;
    windows1252::AppendUtf8(text, code);
    return text;
}
} // namespace

TEST(Windows1252, EveryByteDecodesAsTheCodePageSaysAndComesBack)
{
    if (IconvCode('A') != U'A')
        GTEST_SKIP() << "iconv has no CP1252";
    const std::set<int> unassigned = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
    for (int byte = 0; byte < 256; ++byte) {
        const char32_t code = windows1252::ToUnicode((unsigned char)byte);
        if (unassigned.count(byte))
            EXPECT_EQ(code, char32_t(byte)) << "byte " << byte << " decodes to its C1 control";
        else
            EXPECT_EQ(code, IconvCode((unsigned char)byte)) << "byte " << byte;
        const std::string one(1, char(byte));
        EXPECT_EQ(windows1252::ToUtf8(one), Utf8(code)) << "byte " << byte;
        EXPECT_EQ(windows1252::FromUtf8(windows1252::ToUtf8(one)), one) << "byte " << byte;
    }
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all.push_back(char(byte));
    EXPECT_EQ(windows1252::FromUtf8(windows1252::ToUtf8(all)), all);
}

TEST(Windows1252, ExactlyTheDecodedCodePointsEncode)
{
    std::set<char32_t> decoded;
    for (int byte = 0; byte < 256; ++byte)
        decoded.insert(windows1252::ToUnicode((unsigned char)byte));
    ASSERT_EQ(decoded.size(), 256u);
    int mapped = 0;
    for (char32_t code = 0; code <= 0x10FFFF; ++code) {
        const int byte = windows1252::FromUnicode(code);
        if (byte < 0) {
            EXPECT_EQ(decoded.count(code), 0u) << std::hex << "U+" << unsigned(code);
            continue;
        }
        ++mapped;
        EXPECT_EQ(windows1252::ToUnicode((unsigned char)byte), code) << std::hex << "U+" << unsigned(code);
        if (code < 0xD800 || code > 0xDFFF) {
            EXPECT_EQ(windows1252::FromUtf8(Utf8(code)), std::string(1, char(byte)));
        }
    }
    EXPECT_EQ(mapped, 256);
}

TEST(Windows1252, UnmappableAndMalformedTextBecomesQuestionMarks)
{
    // Ω and → are not in the code page, € is (0x80), U+0080 is not.
    EXPECT_EQ(windows1252::FromUtf8("\u03A9\u2192\u20ACx\u0080"), "??\x80x?");
    EXPECT_EQ(windows1252::FromUtf8("a\U0001F600b"), "a?b"); // one mark per code point
    EXPECT_EQ(windows1252::FromUtf8("\xC0\xAF"), "??");      // overlong '/': bad lead, lone continuation
    EXPECT_EQ(windows1252::FromUtf8("\xED\xA0\x80z"), "?z"); // an encoded surrogate
    EXPECT_EQ(windows1252::FromUtf8("\xE2\x82x"), "?x");     // cut short
    EXPECT_EQ(windows1252::FromUtf8("\xF4\x90\x80\x80"), "?"); // beyond U+10FFFF
    EXPECT_EQ(windows1252::FromUtf8("\xFF"), "?");
    EXPECT_EQ(windows1252::FromUtf8("\xC2"), "?");
    EXPECT_EQ(windows1252::FromUtf8(""), "");
}

TEST(Windows1252, TextArchiveConvertsWithTheCodec)
{
    const QString text = QString::fromUtf8("\u00B0C \u20AC \u0081 \u03A9");
    EXPECT_EQ(TextArchive::ToCp1252(text), QByteArray("\xB0" "C \x80 \x81 ?"));
    EXPECT_EQ(TextArchive::FromCp1252(QByteArray("\xB0" "C \x80 \x81 \x9D")),
              QString::fromUtf8("\u00B0C \u20AC \u0081 \u009D"));
    // A lone surrogate in memory is no character of the code page.
    EXPECT_EQ(TextArchive::ToCp1252(QString(QChar(0xD800))), QByteArray("?"));
}
