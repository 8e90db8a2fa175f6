#pragma once
// The 16 x 16 button images of the graph pop-ups, drawn once for all of
// them: 150 delete (a cross), 151 minimum (arrow down), 152 maximum (arrow
// up), 153 peak tracking (a peak), 154 and 155 the two delta-box modes
// (difference and distance). UI thread only.

#include <QImage>

class QPainter;
class QRect;

namespace PopupBitmap {
inline constexpr int Delete = 150, Minimum = 151, Maximum = 152, PeakTracking = 153;
inline constexpr int DeltaMode5 = 154, DeltaMode6 = 155;
inline constexpr int kSize = 16;

// The image of a bitmap id; a blank image for other ids.
const QImage& Image(int id);
// Draws the button: its image inside a three-dimensional edge, pressed
// (dark top-left, white bottom-right) when on.
void DrawButton(QPainter& painter, const QRect& rect, int id, bool pressed);
} // namespace PopupBitmap
