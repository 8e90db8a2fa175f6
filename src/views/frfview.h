#pragma once
// The frequency response of "Ch2" (output y) to "Ch1" (input x) by the
// chosen estimator: magnitude (linear or in dB) in trace 1 and phase in
// trace 2, or real and imaginary part. Both traces hide when either
// channel is unset. The legend relates the second channel to the first.
// UI thread only.

#include "views/frequencyview.h"

class CFrfPanel;

class CFrfView : public CFrequencyView {
    Q_OBJECT
public:
    CFrfView(MainFrame* frame, QWidget* parent = nullptr);

    void Rescale(int slot) override;
    AnalysisJob MakeAnalysis() override;
    void AdoptAnalysis(ViewData& data) override;
    bool FollowsMaxima() const override { return false; }
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;

    CFrfPanel* FrfPanel() const;

protected:
    void OnPanelNotify(int code) override;

private:
    int m_analysedDisplay = 0;
};
