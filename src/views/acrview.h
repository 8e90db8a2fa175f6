#pragma once
// The auto correlation view: the circular auto correlation of the first
// segment of each of the main bar's two channels over the lag, lag 0 in the
// middle, one trace per channel. Analyse computes into display arrays 0 and
// 1 from the captured record; DrawContent only draws them. UI thread only.

#include "analysis/analysisworkspace.h"
#include "views/graphwnd.h"

class CAcrPanel;

class CAcrView : public CGraphWnd {
    Q_OBJECT
public:
    explicit CAcrView(MainFrame* frame, QWidget* parent = nullptr);

    void Rescale(int slot) override;
    AnalysisJob MakeAnalysis() override;
    // The auto correlation of each slot's channel over the first segment. A pure function of its arguments, on any thread; what the
    // view's analysis job runs. out starts from ViewData::Begin.
    static void Compute(const AnalysisInput& input, bool normed, AnalysisWorkspace& work, ViewData& out);
    void AdoptAnalysis(ViewData& data) override;
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;
    void StorePanel(TextArchive& archive) override;
    void LoadPanel(TextArchive& archive) override;

    CAcrPanel* AcrPanel() const { return m_acrPanel; }
    bool SlotShown(int slot) const { return Data().SlotShown(slot); }
    float XStep() const { return Data().XStep(); }
    double XStart() const { return Data().XStart(); }

protected:

private:
    void OnPanelNotify(int code) override;

    CAcrPanel* m_acrPanel = nullptr;
    std::shared_ptr<AnalysisWorkspace> m_work = std::make_shared<AnalysisWorkspace>();
};
