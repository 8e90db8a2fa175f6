#pragma once
// A graph view for the tests: the base's division plot (or cascade or
// spectrogram) over display arrays the test fills, with the protected state
// opened for setting up cases.

#include "views/graphwnd.h"

class QWidget;

class TestGraph : public CGraphWnd {
public:
    explicit TestGraph(QWidget* parent = nullptr);

    // Slot 0 (and 1) active over count points from x start with x step.
    void SetPoints(int count, double xStart, double xStep, bool second = false);
    void SetSlotActive(int slot, bool active) { Data().SetSlotShown(slot, active); }
    void SetLevelsInDb(bool db) { Data().SetLevelsInDb(db); }
    void SetCascade(bool on) { Data().SetCascade(on); }
    void SetColourMapDrawing(bool on) { Data().SetColourMap(on); }
    void SetXUnit(const QString& unit) { Data().SetXUnit(unit); }
    void SetAutomaticCursors(bool on) { m_mode = on ? 1 : 0; }
    void SetHarmonicCursors(bool on) { m_mode = on ? 2 : 0; }
    void SetRecord(AnalysisRecord* record) { m_record = record; }
    void SetCustomUnit(int slot, const QString& unit) { Data().SetCustomUnit(slot, unit); }
    void MarkChanged() { MarkDisplayChanged(); }

    // Division plot arguments.
    double divisions[2] = {1.0, 1.0};
    double offsets[2] = {0.0, 0.0};
    double xStart = 0.0;
    double xPerDivision = 0.1;

    // Draws the back buffer as painting would.
    void Render() { RenderBackBuffer(); }
    int CursorMode() override { return m_mode; }
    void DrawContent(QPainter& painter) override;

private:
    int m_mode = 0; // cursor mode: 0 manual, 1 automatic, 2 harmonic
};
