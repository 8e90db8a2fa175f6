#pragma once
// The amplitude spectrum of the two traces: magnitude per bin in "Peak" or
// "RMS" amplitude, optionally integrated once or twice, combined over the
// record's segments by the averaging mode ("Cascade" and "Spctgrm" keep
// one row per segment and draw them as a waterfall or a colour map); or,
// from the first segment, magnitude and phase or real and imaginary part
// in two plots above each other. UI thread only.

#include "analysis/measurements.h"
#include "views/frequencyview.h"

class CFftPanel;

class CFftView : public CFrequencyView {
    Q_OBJECT
public:
    CFftView(MainFrame* frame, QWidget* parent = nullptr);

    int CursorMode() override;
    void Rescale(int slot) override;
    AnalysisJob MakeAnalysis() override;
    // The amplitude spectrum of the record in the input (magnitude rows, or magnitude and phase, real and imaginary part of the first segment). A pure function of its arguments, on any thread; what the
    // view's analysis job runs. out starts from ViewData::Begin.
    static void Compute(const AnalysisInput& input, const AmplitudeSettings& settings, AnalysisWorkspace& work, ViewData& out);
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;

    CFftPanel* FftPanel() const;

protected:
    void OnPanelNotify(int code) override;
    void AdoptAnalysis(ViewData& data) override;

private:
    // The display the arrays hold since the last analysis.
    int m_analysedDisplay = 0;
};
