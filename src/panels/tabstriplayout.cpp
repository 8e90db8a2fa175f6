#include "tabstriplayout.h"

#include <algorithm>

namespace TabStripLayout {

namespace {

// Tab i of count over [left, left + width): the widths differ by at most a
// pixel and together fill the span exactly.
QRect ShareOf(int left, int width, int i, int count)
{
    const int x0 = left + int(qint64(width) * i / count);
    const int x1 = left + int(qint64(width) * (i + 1) / count);
    return QRect(x0, kTabTop, x1 - x0, kTabHeight);
}

bool FitsFull(const Caption& caption, int tabWidth) { return caption.full + 2 * kCaptionPadding <= tabWidth; }

} // namespace

Arrangement Arrange(int stripWidth, std::span<const Caption> captions, int first)
{
    const int count = int(captions.size());
    Arrangement result;
    result.tabs.assign(size_t(count), QRect());
    result.shortCaption.assign(size_t(count), false);
    if (count == 0)
        return result;

    // Wide enough: the template's places and full captions.
    if (stripWidth >= kTemplateLeft + count * kTemplatePitch + kRightMargin) {
        for (int i = 0; i < count; ++i)
            result.tabs[size_t(i)] = QRect(kTemplateLeft + i * kTemplatePitch, kTabTop, kTemplatePitch, kTabHeight);
        return result;
    }

    const int span = std::max(0, stripWidth - kTemplateLeft - kRightMargin);
    if (span / count >= kMinTabWidth) {
        for (int i = 0; i < count; ++i) {
            result.tabs[size_t(i)] = ShareOf(kTemplateLeft, span, i, count);
            result.shortCaption[size_t(i)] = !FitsFull(captions[size_t(i)], result.tabs[size_t(i)].width());
        }
        return result;
    }

    // Scrolling: the arrows at the right end, the tabs that fit before them.
    result.scrolls = true;
    const int arrowsLeft = std::max(kTemplateLeft, stripWidth - kRightMargin - 2 * kArrowWidth);
    result.back = QRect(arrowsLeft, kTabTop, kArrowWidth, kTabHeight);
    result.forward = QRect(arrowsLeft + kArrowWidth, kTabTop, kArrowWidth, kTabHeight);
    const int tabSpan = std::max(0, arrowsLeft - kTemplateLeft - kRightMargin);
    const int shown = std::clamp(tabSpan / kMinTabWidth, 1, count);
    result.first = std::clamp(first, 0, count - shown);
    for (int k = 0; k < shown; ++k) {
        const size_t i = size_t(result.first + k);
        result.tabs[i] = ShareOf(kTemplateLeft, tabSpan, k, shown);
        result.shortCaption[i] = !FitsFull(captions[i], result.tabs[i].width());
    }
    return result;
}

} // namespace TabStripLayout
