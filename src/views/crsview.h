#pragma once
// The cross spectrum of "Ch1" and "Ch2": the mean magnitude of X·conj(Y)
// as a mean square (power or density) in trace 1 and its mean phase in
// trace 2. Both traces hide when either channel is unset. UI thread only.

#include "analysis/windowtype.h"
#include "views/frequencyview.h"

class CCrsPanel;

class CCrsView : public CFrequencyView {
    Q_OBJECT
public:
    CCrsView(MainFrame* frame, QWidget* parent = nullptr);

    void Rescale(int slot) override;
    AnalysisJob MakeAnalysis() override;
    // The cross spectrum of the two slots' channels (magnitude and phase). A pure function of its arguments, on any thread; what the
    // view's analysis job runs. out starts from ViewData::Begin.
    static void Compute(const AnalysisInput& input, WindowType window, bool density, AnalysisWorkspace& work, ViewData& out);
    bool FollowsMaxima() const override { return false; }
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;

    CCrsPanel* CrsPanel() const;

protected:
    void OnPanelNotify(int code) override;
};
