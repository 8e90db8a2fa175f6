// Where the view tabs go in strips of different widths.
#include "panels/tabstriplayout.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using TabStripLayout::Arrange;
using TabStripLayout::Caption;

// Eleven tabs; the long captions ("SPCTGR", "OCTAVE") need 46 pixels and
// their short ones 22, the others 22 and 20.
std::vector<Caption> Captions()
{
    std::vector<Caption> captions(11, Caption{22, 20});
    captions[8] = {46, 22};
    captions[9] = {46, 22};
    return captions;
}

// The tabs shown lie side by side inside the strip, none overlapping.
void ExpectInsideAndApart(const TabStripLayout::Arrangement& strip, int width)
{
    int right = 0;
    for (const QRect& tab : strip.tabs) {
        if (tab.isEmpty())
            continue;
        EXPECT_GE(tab.left(), right);
        right = tab.left() + tab.width();
        EXPECT_LE(right, width);
    }
    if (strip.scrolls) {
        EXPECT_GE(strip.back.left(), right);
        EXPECT_EQ(strip.forward.left(), strip.back.left() + strip.back.width());
        EXPECT_LE(strip.forward.left() + strip.forward.width(), width);
    }
}

} // namespace

TEST(TabStripLayout, AWideStripKeepsTheTemplate)
{
    const auto captions = Captions();
    // 4 + 34k dialog units wide 34: 6 + 51k pixels wide 51; 567 + 2 fit.
    for (int width : {569, 853, 2000}) {
        const auto strip = Arrange(width, captions);
        EXPECT_FALSE(strip.scrolls);
        for (int k = 0; k < 11; ++k) {
            EXPECT_EQ(strip.tabs[size_t(k)], QRect(6 + 51 * k, 4, 51, 19)) << width << " " << k;
            EXPECT_FALSE(strip.shortCaption[size_t(k)]);
        }
    }
}

TEST(TabStripLayout, ANarrowerStripSharesItsWidthAndShortensWhatDoesNotFit)
{
    const auto captions = Captions();
    const struct {
        int width;
        bool longShortened;
        bool othersShortened;
    } cases[] = {
        {568, true, false}, // 560 / 11 = 50.9: 46 + 8 does not fit, 22 + 8 does
        {473, true, false}, // six pages side by side at 1240: 42 or 43 per tab
        {365, true, false}, // at 1024: 32 or 33 per tab
        {300, true, true},  // 26 or 27 per tab: only the short captions fit
    };
    for (const auto& c : cases) {
        const auto strip = Arrange(c.width, captions);
        EXPECT_FALSE(strip.scrolls) << c.width;
        ExpectInsideAndApart(strip, c.width);
        // The tabs fill the strip from the template's left margin to 2 pixels
        // before its end, widths within a pixel of each other.
        EXPECT_EQ(strip.tabs.front().left(), 6);
        EXPECT_EQ(strip.tabs.back().left() + strip.tabs.back().width(), c.width - 2) << c.width;
        for (const QRect& tab : strip.tabs)
            EXPECT_LE(std::abs(tab.width() - (c.width - 8) / 11), 1) << c.width;
        EXPECT_EQ(strip.shortCaption[8], c.longShortened) << c.width;
        EXPECT_EQ(strip.shortCaption[9], c.longShortened) << c.width;
        EXPECT_EQ(strip.shortCaption[0], c.othersShortened) << c.width;
    }
}

TEST(TabStripLayout, BelowTheLegibleWidthTheStripScrolls)
{
    const auto captions = Captions();
    // 223: six pages side by side in a 740-pixel window.
    const auto start = Arrange(223, captions);
    ASSERT_TRUE(start.scrolls);
    ExpectInsideAndApart(start, 223);
    int shown = 0;
    for (const QRect& tab : start.tabs)
        shown += tab.isEmpty() ? 0 : 1;
    // (223 - 2 - 28 - 6 - 2) / 26 = 7 tabs from the first.
    EXPECT_EQ(shown, 7);
    EXPECT_EQ(start.first, 0);
    EXPECT_FALSE(start.tabs[0].isEmpty());
    EXPECT_TRUE(start.tabs[10].isEmpty());

    // Scrolled on, the last tabs fill the strip and no further.
    const auto end = Arrange(223, captions, 99);
    EXPECT_EQ(end.first, 4);
    EXPECT_TRUE(end.tabs[3].isEmpty());
    EXPECT_FALSE(end.tabs[10].isEmpty());
    EXPECT_EQ(Arrange(223, captions, -3).first, 0);

    // Too narrow for even one whole tab: still one, never a negative size.
    const auto tiny = Arrange(30, captions);
    EXPECT_TRUE(tiny.scrolls);
    for (const QRect& tab : tiny.tabs)
        EXPECT_GE(tab.width(), 0);
}
