#pragma once
// The cross correlation view's panel: division and offset of the one
// trace, the lag axis (time per division and the lag at the left edge), the
// choice between correlation coefficients ("Normed") and plain sums
// ("Real"), and the cursor mode. UI thread only.

#include "views/paneldlg.h"

class CCcrPanel : public CPanelDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 141;
    enum ControlId { IdYDiv1 = 1042, IdOff1 = 1053, IdXDiv = 1018, IdXPos = 1038, IdDisplay = 1031,
                     IdCursor = 1022 };
    // Item keys of "Dspl".
    enum Display { DisplayReal = 0, DisplayNormed = 1 };

    explicit CCcrPanel(QWidget* view);

    double Division() const;
    double Offset() const;
    // Seconds per division of the lag axis.
    double TimePerDivision() const;
    // The lag at the left edge, seconds; 0 until the view grids "XPos".
    double XOffset() const;
    bool Normed() const;
    // 0 "Manual", 1 "Auto".
    int CursorMode() const;

protected:
    void OnInitDialog() override;
    // The y group stands for the correlation, not for one channel.
    QColor OutlineColour(int groupId, const ColourScheme& colours) const override;
};
