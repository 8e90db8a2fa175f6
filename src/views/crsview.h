#pragma once
// The cross spectrum of "Ch1" and "Ch2": the mean magnitude of X·conj(Y)
// as a mean square (power or density) in trace 1 and its mean phase in
// trace 2. Both traces hide when either channel is unset. UI thread only.

#include "views/frequencyview.h"

class CCrsPanel;

class CCrsView : public CFrequencyView {
    Q_OBJECT
public:
    CCrsView(MainFrame* frame, QWidget* parent = nullptr);

    void Rescale(int slot) override;
    AnalysisJob MakeAnalysis() override;
    bool FollowsMaxima() const override { return false; }
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;

    CCrsPanel* CrsPanel() const;

protected:
    void OnPanelNotify(int code) override;
};
