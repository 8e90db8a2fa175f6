#pragma once
// The spectrogram view's panel: colour range (division and offset) of both
// traces, the analysis window, the frequency axis (frequency per division
// and start) and the level scale. UI thread only.

#include "views/paneldlg.h"

enum class LevelScale : int;
enum class WindowType : int;

class CSpgPanel : public CPanelDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 148;
    enum ControlId { IdYDiv1 = 1042, IdYDiv2 = 1043, IdOff1 = 1053, IdOff2 = 1056, IdWindow = 1021,
                     IdXDiv = 1018, IdXPos = 1038, IdScale = 1030 };

    explicit CSpgPanel(QWidget* view);

    // Level per division and offset of trace 0 or 1.
    double Division(int trace) const;
    double Offset(int trace) const;
    WindowType AnalysisWindow() const;
    LevelScale Scale() const;
    // Hz per division of the frequency axis.
    double FrequencyPerDivision() const;
    // The frequency at the bottom, Hz; 0 until the view grids "XPos".
    double XOffset() const;

protected:
    void OnInitDialog() override;
};
