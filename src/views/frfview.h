#pragma once
// The frequency response of "Ch2" (output y) to "Ch1" (input x) by the
// chosen estimator: magnitude (linear or in dB) in trace 1 and phase in
// trace 2, or real and imaginary part. Both traces hide when either
// channel is unset. The legend relates the second channel to the first.
// UI thread only.

#include "analysis/measurements.h"
#include "views/frequencyview.h"

#include <span>

class CFrfPanel;

class CFrfView : public CFrequencyView {
    Q_OBJECT
public:
    CFrfView(MainFrame* frame, QWidget* parent = nullptr);

    void Rescale(int slot) override;
    AnalysisJob MakeAnalysis() override;
    // The frequency response from slot 0 (input) to slot 1 (output). A pure function of its arguments, on any thread; what the
    // view's analysis job runs. out starts from ViewData::Begin.
    static void Compute(const AnalysisInput& input, const FrfSettings& settings, AnalysisWorkspace& work, ViewData& out);
    void AdoptAnalysis(ViewData& data) override;
    bool FollowsMaxima() const override { return false; }
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;

    CFrfPanel* FrfPanel() const;

    // Where the input has no energy in a bin the response is undefined:
    // both quantities of that bin become NaN, which the plot leaves as a gap
    // and the rescale passes over. Any thread; uses the work's transform
    // slot 0 and sum 2.
    static void MarkBinsWithoutInput(AnalysisWorkspace& work, const float* x, const SegmentLayout& layout,
                                     std::span<float> first, std::span<float> second);

protected:
    void OnPanelNotify(int code) override;

private:
    int m_analysedDisplay = 0;
};
