#pragma once
// Where the view tabs of a page go in a strip of a given width. A strip
// wide enough for the template keeps the template's places (34 x 12 dialog
// units every 34 units from unit 4) and full captions. A narrower one shares
// its width among the tabs, each with its full caption when that fits with
// some air and its short one otherwise. Below a legible tab width the strip scrolls: as many tabs as
// fit from a first one, and two arrows at the right end that move it.
// Pixels in strip coordinates. Pure arithmetic, no widgets.

#include <QRect>
#include <span>
#include <vector>

namespace TabStripLayout {

// The template in pixels: tab k at x 6 + 51k, y 4, 51 x 19.
inline constexpr int kTemplateLeft = 6;
inline constexpr int kTemplatePitch = 51;
inline constexpr int kTabTop = 4;
inline constexpr int kTabHeight = 19;
// Air right of the last tab.
inline constexpr int kRightMargin = 2;
// Narrower tabs make the strip scroll.
inline constexpr int kMinTabWidth = 26;
// Each scroll arrow.
inline constexpr int kArrowWidth = 14;
// Air left and right of a caption inside its tab.
inline constexpr int kCaptionPadding = 4;

// The pixel widths of a tab's two captions in the tab font.
struct Caption {
    int full = 0;
    int shortened = 0;
};

struct Arrangement {
    // One per tab; an empty rectangle for a tab scrolled out of the strip.
    std::vector<QRect> tabs;
    std::vector<bool> shortCaption;
    bool scrolls = false;
    // The first tab shown (0 unless the strip scrolls).
    int first = 0;
    // The arrows, when the strip scrolls.
    QRect back;
    QRect forward;
};

// first: the tab the scrolled strip should start with; clamped so that the
// last tabs fill the strip.
Arrangement Arrange(int stripWidth, std::span<const Caption> captions, int first = 0);

} // namespace TabStripLayout
