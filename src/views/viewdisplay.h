#pragma once
// What a graph view shows: the display arrays and how to read them (point
// count, rows, x start and step), which of the two slots are shown, the
// slot names and units, and how the arrays are to be drawn (levels in dB,
// cascade, colour map, split). It takes over the result of an analysis by
// swapping the arrays in. UI thread only.

#include "views/viewdata.h"

#include <QString>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

class ViewDisplay {
public:
    static constexpr int kArrays = ViewData::kArrays;
    enum Split { SplitFull = 0, SplitUpper = 1, SplitLower = 2 };

    // Takes over a made result: swaps the arrays (data gets the old ones
    // back for a later analysis) and takes the scales, slots and units.
    void Adopt(ViewData& data);
    // The record could not give a result (data.notice says why): the shown
    // result is kept and marked as stale; without one the plot stays empty,
    // with the axes of the slots the analysis would show.
    void AdoptUnavailable(const ViewData& data);
    // Forgets what the view shows (a new source or new channels): no
    // points, no slots, no names; the notice says what the view waits for.
    void Clear(const QString& notice);

    // The line written into the plot: the source's state when it has one,
    // else the analysis' notice; empty when there is nothing to say.
    const QString& Notice() const { return m_sourceNotice.isEmpty() ? m_notice : m_sourceNotice; }
    // The picture is older than what the settings or the source ask for.
    bool Stale() const { return !m_sourceNotice.isEmpty() || m_stale; }
    // The source's state for every view of the window ("source ended 12 s
    // ago"); empty while the source delivers. True when it changed.
    bool SetSourceNotice(const QString& notice);

    // Grows arrays 0, 1 (and 2, 3 with second) to points values (contents
    // not kept when growing); point count = points, one row.
    void Size(int points, bool second);
    // Rows held by the display arrays: the cascade and the spectrogram draw
    // the rows last analysed, not those the record would give now.
    void SetRows(int rows);

    int PointCount() const { return m_pointCount; }
    int Rows() const { return m_rows; }
    float* Display(int array) { return m_display[size_t(array)].data(); }
    const float* Display(int array) const { return m_display[size_t(array)].data(); }
    // Values the array holds (at least the point count once sized).
    size_t ArraySize(int array) const { return m_display[size_t(array)].size(); }
    // The array holds rows × point count values.
    bool Holds(int array, int rows = 1) const { return ArraySize(array) >= size_t(rows) * size_t(m_pointCount); }
    // Index of the largest (smallest) of the point count values of an
    // array; -1 when it holds fewer.
    int MaxIndex(int array) const;
    int MinIndex(int array) const;

    float XStep() const { return m_xStep; }
    double XStart() const { return m_xStart; }
    void SetXStart(double start) { m_xStart = start; }
    void SetXStep(float step) { m_xStep = step; }
    // The x value of point index.
    double XAt(int index) const { return m_xStart + index * double(m_xStep); }

    bool SlotShown(int slot) const { return m_slotShown[size_t(slot & 1)]; }
    void SetSlotShown(int slot, bool shown) { m_slotShown[size_t(slot & 1)] = shown; }
    void SetSlotsShown(bool first, bool second) { m_slotShown = {first, second}; }
    int ShownSlotCount() const { return int(m_slotShown[0]) + int(m_slotShown[1]); }
    const QString& SlotName(int slot) const { return m_slotName[size_t(slot & 1)]; }

    // Per slot (0, 1) and second quantity (2, 3); empty: the channel's unit.
    const QString& CustomUnit(int array) const { return m_customUnit[size_t(array & 3)]; }
    void SetCustomUnit(int array, const QString& unit) { m_customUnit[size_t(array & 3)] = unit; }
    const QString& XUnit() const { return m_xUnit; }
    void SetXUnit(const QString& unit) { m_xUnit = unit; }

    bool LevelsInDb() const { return m_levelsInDb; }
    void SetLevelsInDb(bool db) { m_levelsInDb = db; }
    bool Cascade() const { return m_cascade; }
    void SetCascade(bool on) { m_cascade = on; }
    bool ColourMap() const { return m_colourMap; }
    void SetColourMap(bool on) { m_colourMap = on; }
    int Split() const { return m_split; }
    void SetSplit(int split) { m_split = split; }
    // The display array a slot draws from (slot + 2 in the lower split).
    int DrawArray(int slot) const { return m_split == SplitLower ? slot + 2 : slot; }

    // Counts changes of the arrays, so that kept renderings (the
    // spectrogram image) are made again; views that rewrite the arrays
    // without Size mark it.
    unsigned Generation() const { return m_generation; }
    void MarkChanged() { ++m_generation; }

private:
    void TakeNotice(const std::string& text);

    std::array<std::vector<float>, kArrays> m_display;
    int m_pointCount = 0;
    int m_rows = 1;
    float m_xStep = 1.0f;
    double m_xStart = 0.0;
    std::array<bool, 2> m_slotShown{};
    std::array<QString, 2> m_slotName;
    std::array<QString, kArrays> m_customUnit;
    // The analysis' unit texts last converted to m_customUnit: an unchanged
    // text is not converted again, and a unit the view set stays.
    std::array<std::string, kArrays> m_unitSource;
    QString m_xUnit;
    QString m_notice;
    std::string m_noticeSource; // the analysis' text last converted to m_notice
    QString m_sourceNotice;
    bool m_stale = false;
    bool m_levelsInDb = false;
    bool m_cascade = false;
    bool m_colourMap = false;
    int m_split = SplitFull;
    unsigned m_generation = 0;
};
