// The standard value lists: their items, keys, defaults and the numbers the
// views read from them.
#include "views/panellists.h"

#include "context/parsewithprefix.h"
#include "widgets/selectorbutton.h"

#include <gtest/gtest.h>
#include <cmath>

namespace {
std::vector<double> Values(const CSelectorButton& selector)
{
    std::vector<double> values;
    for (const QString& text : selector.Items())
        values.push_back(ParseWithPrefix(text));
    return values;
}

// Every item 2, 2.5 or 2 times the one before: the 1-2-5 sequence.
void Expect125(const std::vector<double>& values, bool descending)
{
    for (size_t i = 1; i < values.size(); ++i) {
        const double ratio = descending ? values[i - 1] / values[i] : values[i] / values[i - 1];
        EXPECT_TRUE(std::abs(ratio - 2) < 1e-9 || std::abs(ratio - 2.5) < 1e-9) << i << ": " << ratio;
    }
}
} // namespace

TEST(PanelLists, VoltsPerDivisionReplacesTheItems)
{
    CSelectorButton selector;
    selector.AddItem("old", 7);
    VoltsPerDivList(selector, "1");
    ASSERT_EQ(selector.Count(), 39);
    EXPECT_EQ(selector.CurrentText(), "1");
    EXPECT_EQ(selector.CurrentKey(), -1);
    const std::vector<double> values = Values(selector);
    EXPECT_DOUBLE_EQ(values.front(), 1e-7);
    EXPECT_DOUBLE_EQ(values.back(), 5e5);
    Expect125(values, false);

    VoltsPerDivList(selector, "0.2m");
    EXPECT_EQ(selector.Count(), 39);
    EXPECT_DOUBLE_EQ(ParseWithPrefix(selector.CurrentText()), 2e-4);
}

TEST(PanelLists, NumberListsAppendAndSelectTheirDefault)
{
    CSelectorButton span, time, points, percent;
    SpanList(span, "100 Hz");
    TimePerDivList(time, "0.1s");
    FftPointsList(points, "1024");
    PercentList(percent, "50%");

    EXPECT_EQ(span.Count(), 15);
    EXPECT_DOUBLE_EQ(ParseWithPrefix(span.CurrentText()), 100);
    Expect125(Values(span), false);
    EXPECT_EQ(time.Count(), 13);
    EXPECT_EQ(time.Items().front(), "1s");
    EXPECT_DOUBLE_EQ(Values(time).back(), 1e-4);
    Expect125(Values(time), true);
    EXPECT_EQ(time.CurrentText(), "0.1s");
    ASSERT_EQ(points.Count(), 10);
    for (int i = 0; i < points.Count(); ++i)
        EXPECT_EQ(points.Items()[i].toInt(), 128 << i);
    EXPECT_EQ(points.CurrentText(), "1024");
    ASSERT_EQ(percent.Count(), 20);
    EXPECT_EQ(percent.Items().front(), "0%");
    EXPECT_EQ(percent.Items().back(), "95%");
    EXPECT_EQ(percent.CurrentIndex(), 10);

    // Appends: a second fill doubles the list; an unknown default selects the first item.
    PercentList(percent, "100%");
    EXPECT_EQ(percent.Count(), 40);
    EXPECT_EQ(percent.CurrentIndex(), 0);
}

TEST(PanelLists, KeyedListsCarryTheirValues)
{
    CSelectorButton window, averages;
    WindowList(window, "Hann");
    AverageCountList(averages, "Auto");
    const QStringList windows = {"Rectangle", "Bartlett", "Hann", "Hamming", "Blackman", "Flattop", "low sidelob"};
    EXPECT_EQ(window.Items(), windows);
    EXPECT_EQ(window.CurrentKey(), 2);
    window.SelectText("low sidelob");
    EXPECT_EQ(window.CurrentKey(), 6);

    EXPECT_EQ(averages.Items(), (QStringList{"Auto", "1", "2", "4", "8", "16", "32", "64", "128"}));
    EXPECT_EQ(averages.CurrentKey(), 0);
    averages.SelectText("64");
    EXPECT_EQ(averages.CurrentKey(), 64);
}
