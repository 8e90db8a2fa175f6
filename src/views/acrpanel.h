#pragma once
// The auto correlation view's panel: division and offset of both traces,
// the lag axis (time per division and the lag at the left edge) and the
// choice between correlation coefficients ("Normed") and plain sums
// ("Real"). UI thread only.

#include "views/paneldlg.h"

class CAcrPanel : public CPanelDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 145;
    enum ControlId { IdYDiv1 = 1042, IdYDiv2 = 1043, IdOff1 = 1053, IdOff2 = 1056, IdXDiv = 1018, IdXPos = 1038,
                     IdDisplay = 1031 };
    // Item keys of "Dspl".
    enum Display { DisplayReal = 0, DisplayNormed = 1 };

    explicit CAcrPanel(QWidget* view);

    // Values per division and offsets of trace 0 or 1.
    double Division(int trace) const;
    double Offset(int trace) const;
    // Seconds per division of the lag axis.
    double TimePerDivision() const;
    // The lag at the left edge, seconds; 0 until the view grids "XPos".
    double XOffset() const;
    bool Normed() const;

protected:
    void OnInitDialog() override;
};
