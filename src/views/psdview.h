#pragma once
// The power spectral density of the two traces: the mean square per bin,
// as power or density, in one of the five level scales, combined over the
// record's segments by the averaging mode ("Cascade" and "Spctgrm" keep
// one row per segment and draw them as a waterfall or a colour map).
// Switching to or from "Lin. RMS" rescales the traces. UI thread only.

#include "analysis/measurements.h"
#include "views/frequencyview.h"

class CPsdPanel;

class CPsdView : public CFrequencyView {
    Q_OBJECT
public:
    CPsdView(MainFrame* frame, QWidget* parent = nullptr);

    int CursorMode() override;
    void Rescale(int slot) override;
    AnalysisJob MakeAnalysis() override;
    // The power spectrum or density of the record in the input, in the settings' level scale. A pure function of its arguments, on any thread; what the
    // view's analysis job runs. out starts from ViewData::Begin.
    static void Compute(const AnalysisInput& input, const PsdSettings& settings, AnalysisWorkspace& work, ViewData& out);
    void AdoptAnalysis(ViewData& data) override;
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;

    CPsdPanel* PsdPanel() const;
    // The level scale of the last analysis.
    int LastScale() const { return m_lastScale; }

protected:
    void OnPanelNotify(int code) override;

private:
    int m_lastScale = 0;
};
