#pragma once
// The frequency response view's panel: scales and offsets of the two
// traces (magnitude and phase, or real and imaginary part), window,
// estimator ("H0", "H1", "H2"), display, magnitude scale, span and start
// frequency. "YScl" only acts in "Mag+Phase". The first offset's settings
// key is "YOFF1:" on this panel. "XPos" has no value until the view first
// grids it. UI thread only.

#include "views/frequencypanel.h"

class CFrfPanel : public CFrequencyPanel {
    Q_OBJECT
public:
    static constexpr int kResourceId = 136;
    static constexpr int kWidth = 99;   // dialog units
    static constexpr int kHeight = 144; // dialog units
    enum Id { IdCalc = 1052, IdDisplay = 1031, IdYScale = 1037 };
    enum Display { DisplayMagPhase = 0, DisplayReIm = 1 };

    explicit CFrfPanel(QWidget* view);

    int EstimatorKey() const;
    int DisplayKey() const;
    // 0 "Linear RMS", 1 "10 log".
    int LevelKey() const;

    // "YScl" acts only while the display is not "RE+IM".
    void UpdateScaleEnable();

protected:
    void OnInitDialog() override;
};
