#pragma once
// The cross correlation view: the circular cross correlation of the first
// segment of the main bar's "Ch1" channel with that of "Ch2" over the lag,
// lag 0 in the middle, as one trace (slot 0; slot 1 stays hidden). Analyse
// computes into display array 0 from the captured record; DrawContent only
// draws it. UI thread only.

#include "analysis/analysisworkspace.h"
#include "views/graphwnd.h"

class CCcrPanel;

class CCcrView : public CGraphWnd {
    Q_OBJECT
public:
    explicit CCcrView(MainFrame* frame, QWidget* parent = nullptr);

    // The panel's "Curs": 0 manual, 1 cursors follow the maximum.
    int CursorMode() override;
    void Rescale(int slot) override;
    AnalysisJob MakeAnalysis() override;
    // The cross correlation of the two slots' channels over the first segment. A pure function of its arguments, on any thread; what the
    // view's analysis job runs. out starts from ViewData::Begin.
    static void Compute(const AnalysisInput& input, bool normed, AnalysisWorkspace& work, ViewData& out);
    void AdoptAnalysis(ViewData& data) override;
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;
    void StorePanel(TextArchive& archive) override;
    void LoadPanel(TextArchive& archive) override;

    CCcrPanel* CcrPanel() const { return m_ccrPanel; }
    float XStep() const { return Data().XStep(); }
    double XStart() const { return Data().XStart(); }

protected:

private:
    void OnPanelNotify(int code) override;

    CCcrPanel* m_ccrPanel = nullptr;
    std::shared_ptr<AnalysisWorkspace> m_work = std::make_shared<AnalysisWorkspace>();
};
