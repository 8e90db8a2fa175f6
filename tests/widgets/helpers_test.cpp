// Number reading with prefixes, approximate equality and colour shading.
#include "context/parsewithprefix.h"
#include "widgets/fittedtext.h"
#include "widgets/scalecolor.h"

#include <QFontMetrics>
#include <clocale>
#include <gtest/gtest.h>

TEST(ParseWithPrefix, ReadsTheNumberAndOneMultiplier)
{
    struct Case {
        const char* text;
        double value;
    } cases[] = {{"0.2m", 0.0002}, {"2k", 2000},     {"100Hz", 100},  {"0.5s", 0.5},  {"100 Hz", 100},
                 {"0.1u", 1e-7},   {"5M", 5e6},      {"-3m", -0.003}, {"1e3k", 1e6},  {" 7", 7},
                 {"+2", 2},        {"abc", 0},       {"", 0},         {"50%", 50},    {"10usec", 1e-5},
                 {"1 k", 1},       {"20000 Hz", 20000}};
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(ParseWithPrefix(c.text), c.value) << c.text;
    EXPECT_DOUBLE_EQ(ParseWithPrefix(QStringLiteral("0.05s")), 0.05);
}

TEST(ParseWithPrefix, IgnoresTheLocalesDecimalSeparator)
{
    // Qt programs take the user's locale; panel texts always use a dot.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE"))
        GTEST_SKIP() << "no German locale installed";
    EXPECT_DOUBLE_EQ(ParseWithPrefix("0.5m"), 0.0005);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ApproximatelyEqual, WithinAThousandth)
{
    EXPECT_TRUE(ApproximatelyEqual(0, 0));
    EXPECT_TRUE(ApproximatelyEqual(1, 1.0005));
    EXPECT_FALSE(ApproximatelyEqual(1, 1.01));
    EXPECT_FALSE(ApproximatelyEqual(0, 1e-12));
    EXPECT_TRUE(ApproximatelyEqual(-2, -2.001));
}

TEST(ScaleColor, TruncatesClampsAndKeepsAlpha)
{
    EXPECT_EQ(ScaleColor(qRgba(100, 200, 50, 7), 1.5), qRgba(150, 255, 75, 7));
    EXPECT_EQ(ScaleColor(qRgb(3, 3, 3), 0.8), qRgb(2, 2, 2));
    EXPECT_EQ(ScaleColor(qRgb(128, 128, 128), 0.5), qRgb(64, 64, 64));
    EXPECT_EQ(ScaleColor(qRgb(128, 128, 128), -1), qRgb(0, 0, 0));
    EXPECT_EQ(ScaleColor(qRgb(1, 1, 1), 1e300), qRgb(255, 255, 255));
    EXPECT_EQ(ScaleColor(QColor(96, 96, 96), 1.6), QColor(153, 153, 153));
}

// A caption wider than its field is drawn smaller, not cut: the fitted font
// holds the whole text within the width, and a text that fits is untouched.
TEST(FittedFont, ShrinksOnlyWhatDoesNotFit)
{
    QFont font;
    font.setPixelSize(13);
    const QString caption = QStringLiteral("Cursor");
    const int natural = QFontMetrics(font).horizontalAdvance(caption);
    EXPECT_EQ(FittedFont(font, caption, natural), font);
    for (int width : {natural - 1, natural * 3 / 4, natural / 2}) {
        const QFont fitted = FittedFont(font, caption, width);
        EXPECT_LT(fitted.pixelSize(), 13) << width;
        EXPECT_LE(QFontMetrics(fitted).horizontalAdvance(caption), width) << width;
    }
    // Never below legibility, however narrow the field.
    EXPECT_GE(FittedFont(font, caption, 3).pixelSize(), 6);
}
