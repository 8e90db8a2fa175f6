// Prefix formatting and the translucency switch.
#include "context/formatwithprefix.h"
#include "context/windowalpha.h"

#include <QWidget>
#include <gtest/gtest.h>

TEST(FormatWithPrefix, ThresholdsAndExamples)
{
    struct Case {
        double value;
        int precision;
        const char* unit;
        const char* text;
    } cases[] = {
        {0.0123, 3, "V", "12.3 mV"},   {2500, 4, "Hz", "2.5 kHz"},     {1100, 5, "Hz", "1100 Hz"},
        {1100.5, 5, "Hz", "1.1005 kHz"}, {0.9, 4, "V", "0.9 V"},       {0.89, 4, "V", "890 mV"},
        {0, 5, "s", "0 s"},            {-0.0123, 3, "V", "-12.3 mV"},  {2e6, 4, "Hz", "2 MHz"},
        {1100000, 7, "", "1100 k"},    {5e-5, 4, "V", "50 uV"},        {0.0009, 4, "V", "0.9 mV"},
        {123.456, 4, "dB", "123.5 dB"}, {1e-9, 3, "Pa", "0.001 uPa"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatWithPrefix(c.value, c.precision, QString::fromLatin1(c.unit)), QString::fromLatin1(c.text))
            << c.value;
}

// A prefix on a squared unit scales its root: the text reads the value.
TEST(FormatWithPrefix, SquaredUnitsTakeThePrefixOnTheRoot)
{
    const QString vrms2 = QStringLiteral("Vrms\u00B2");
    EXPECT_EQ(FormatWithPrefix(1e-6, 4, vrms2), QStringLiteral("1 (mVrms)\u00B2"));
    EXPECT_EQ(FormatWithPrefix(1e-3, 4, vrms2), QStringLiteral("0.001 Vrms\u00B2"));
    EXPECT_EQ(FormatWithPrefix(2.5e-4, 4, vrms2), QStringLiteral("250 (mVrms)\u00B2"));
    EXPECT_EQ(FormatWithPrefix(2.5e-13, 3, vrms2), QStringLiteral("0.25 (uVrms)\u00B2"));
    EXPECT_EQ(FormatWithPrefix(4.0, 3, vrms2), QStringLiteral("4 Vrms\u00B2"));
    EXPECT_EQ(FormatWithPrefix(4e6, 3, QStringLiteral("Vrms\u00B2/Hz")), QStringLiteral("4 (kVrms)\u00B2/Hz"));
    EXPECT_EQ(FormatWithPrefix(5e5, 3, QStringLiteral("Vrms\u00B2/Hz")), QStringLiteral("5e+05 Vrms\u00B2/Hz"));
    EXPECT_EQ(PrefixedUnit("m", QStringLiteral("V")), QStringLiteral("mV"));
    EXPECT_EQ(PrefixedUnit("", vrms2), vrms2);
    EXPECT_EQ(PrefixedUnit("u", QStringLiteral("m/s\u00B2")), QStringLiteral("(um/s)\u00B2"));
}

TEST(WindowAlpha, ChildWidgetsPaintWithTheAlphaTheyToggle)
{
    QWidget parent;
    QWidget child(&parent);
    EXPECT_FALSE(IsWindowTranslucent(&child));
    EXPECT_EQ(WindowAlpha(&child), 255);
    SetWindowAlpha(&child, 50); // not translucent yet: nothing
    EXPECT_EQ(WindowAlpha(&child), 255);

    ToggleWindowAlpha(&child, 180);
    EXPECT_TRUE(IsWindowTranslucent(&child));
    EXPECT_DOUBLE_EQ(PaintOpacity(&child), 180 / 255.0);
    SetWindowAlpha(&child, 100);
    EXPECT_EQ(WindowAlpha(&child), 100);
    ToggleWindowAlpha(&child, 100);
    EXPECT_FALSE(IsWindowTranslucent(&child));
    EXPECT_DOUBLE_EQ(PaintOpacity(&child), 1.0);

    // A top-level window takes it as its window opacity.
    ToggleWindowAlpha(&parent, 300);
    EXPECT_EQ(WindowAlpha(&parent), 255);
    EXPECT_DOUBLE_EQ(parent.windowOpacity(), 1.0);
    SetWindowAlpha(&parent, 51);
    EXPECT_NEAR(parent.windowOpacity(), 0.2, 0.01);
    EXPECT_DOUBLE_EQ(PaintOpacity(&parent), 1.0);
}
