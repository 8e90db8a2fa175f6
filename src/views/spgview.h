#pragma once
// The spectrogram view: the power spectrum levels of every segment of the
// captured record, per channel of the main bar, as a time-frequency colour
// map (segments across, frequency up) with a colour scale beside it; both
// channels in two parts one above the other. Analyse computes the rows into
// display arrays 0 and 1 (row j, the segment starting at S + j·hop, at
// offset j·N/2); DrawContent only draws them through the colour-map image.
// The page shows it only with automatic averaging. UI thread only.

#include "analysis/analysisworkspace.h"
#include "analysis/levelscale.h"
#include "views/graphwnd.h"

class CSpgPanel;

class CSpgView : public CGraphWnd {
    Q_OBJECT
public:
    explicit CSpgView(MainFrame* frame, QWidget* parent = nullptr);

    void Rescale(int slot) override;
    AnalysisJob MakeAnalysis() override;
    // The spectrogram rows of each slot's channel, one per segment. A pure function of its arguments, on any thread; what the
    // view's analysis job runs. out starts from ViewData::Begin.
    static void Compute(const AnalysisInput& input, WindowType window, LevelScale scale, AnalysisWorkspace& work, ViewData& out);
    void AdoptAnalysis(ViewData& data) override;
    void CreatePanel() override;
    void DrawContent(QPainter& painter) override;
    void StorePanel(TextArchive& archive) override;
    void LoadPanel(TextArchive& archive) override;

    CSpgPanel* SpgPanel() const { return m_spgPanel; }
    bool SlotShown(int slot) const { return Data().SlotShown(slot); }
    // Rows of the last analysis and levels per row.
    int Rows() const { return Data().Rows(); }
    int Bins() const { return Data().PointCount(); }
    float XStep() const { return Data().XStep(); }
    // The levels of a row of a slot (Bins() values).
    const float* Row(int slot, int row) const;

    // The colour range (top and bottom level) and division that show levels
    // from min to max: both edges moved out to whole tens, 10 per division
    // from a range of 100 up, else 5, the top of the scale at the top edge.
    struct LevelFit {
        double top = 0.0, bottom = 0.0, division = 5.0, offset = 0.0;
    };
    static LevelFit FitLevels(double max, double min);

protected:

private:
    void OnPanelNotify(int code) override;
    void RescaleLevels(int slot);
    void RescaleFrequency();

    CSpgPanel* m_spgPanel = nullptr;
    std::shared_ptr<AnalysisWorkspace> m_work = std::make_shared<AnalysisWorkspace>();
    LevelScale m_lastScale = LevelScale::LogReference;
};
