#pragma once
// The magnitude-squared coherence of "Ch1" and "Ch2" over the record's
// segments: one trace from −1 to 1, without unit. It hides when either
// channel is unset. UI thread only.

#include "analysis/windowtype.h"
#include "views/frequencyview.h"

class CCohPanel;

class CCohView : public CFrequencyView {
    Q_OBJECT
public:
    CCohView(MainFrame* frame, QWidget* parent = nullptr);

    void Rescale(int slot) override;
    AnalysisJob MakeAnalysis() override;
    // The coherence between the two slots' channels. A pure function of its arguments, on any thread; what the
    // view's analysis job runs. out starts from ViewData::Begin.
    static void Compute(const AnalysisInput& input, WindowType window, AnalysisWorkspace& work, ViewData& out);
    bool FollowsMaxima() const override { return false; }
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;

    CCohPanel* CohPanel() const;

protected:
    void OnPanelNotify(int code) override;
};
