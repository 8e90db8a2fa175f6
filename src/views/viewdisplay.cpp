#include "viewdisplay.h"

#include <algorithm>

void ViewDisplay::Adopt(ViewData& data)
{
    for (int i = 0; i < kArrays; ++i)
        m_display[size_t(i)].swap(data.display[size_t(i)]);
    m_pointCount = data.pointCount;
    m_rows = std::max(1, data.rows);
    m_xStep = data.xStep;
    m_xStart = data.xStart;
    m_slotShown = data.slotActive;
    for (int i = 0; i < kArrays; ++i) {
        if (!data.unitSet[size_t(i)] || m_unitSource[size_t(i)] == data.units[size_t(i)])
            continue;
        m_unitSource[size_t(i)] = data.units[size_t(i)];
        m_customUnit[size_t(i)] = QString::fromStdString(data.units[size_t(i)]);
    }
    for (int slot = 0; slot < 2; ++slot)
        if (!data.slotNames[size_t(slot)].empty())
            m_slotName[size_t(slot)] = QString::fromStdString(data.slotNames[size_t(slot)]);
    m_levelsInDb = data.levelsInDb;
    m_cascade = data.cascade;
    m_colourMap = data.colourMap;
    m_split = data.split;
    m_stale = false;
    TakeNotice(data.notice);
    MarkChanged();
}

void ViewDisplay::AdoptUnavailable(const ViewData& data)
{
    m_stale = m_pointCount > 0;
    if (!m_stale)
        m_slotShown = data.slotActive;
    TakeNotice(data.notice);
}

void ViewDisplay::Clear(const QString& notice)
{
    m_pointCount = 0;
    m_rows = 1;
    m_slotShown = {false, false};
    m_slotName = {};
    m_stale = false;
    m_noticeSource = notice.toStdString();
    m_notice = notice;
    MarkChanged();
}

bool ViewDisplay::SetSourceNotice(const QString& notice)
{
    if (notice == m_sourceNotice)
        return false;
    m_sourceNotice = notice;
    return true;
}

void ViewDisplay::TakeNotice(const std::string& text)
{
    // Converted only when it changed: adopting a result allocates nothing
    // while the notice stays as it is.
    if (text == m_noticeSource)
        return;
    m_noticeSource = text;
    m_notice = QString::fromStdString(text);
}

void ViewDisplay::Size(int points, bool second)
{
    points = std::max(0, points);
    const int arrays = second ? 4 : 2;
    for (int i = 0; i < arrays; ++i)
        if (int(m_display[size_t(i)].size()) < points) {
            std::vector<float>().swap(m_display[size_t(i)]);
            m_display[size_t(i)].resize(size_t(points));
        }
    m_pointCount = points;
    m_rows = 1;
    MarkChanged();
}

void ViewDisplay::SetRows(int rows) { m_rows = std::max(1, rows); }

int ViewDisplay::MaxIndex(int array) const
{
    if (m_pointCount <= 0 || !Holds(array))
        return -1;
    const float* values = Display(array);
    return int(std::max_element(values, values + m_pointCount) - values);
}

int ViewDisplay::MinIndex(int array) const
{
    if (m_pointCount <= 0 || !Holds(array))
        return -1;
    const float* values = Display(array);
    return int(std::min_element(values, values + m_pointCount) - values);
}
