#pragma once
// The octave view's panel: level axis (division and offset), lowest and
// highest band, bands per octave, frequency weighting, time weighting, the
// drawing style and the overall-level column. UI thread only.

#include "views/paneldlg.h"

class COctPanel : public CPanelDlg {
    Q_OBJECT
public:
    enum Id { IdYDiv = 1081, IdOffset = 1082, IdLowFrq = 1049, IdHighFrq = 1050, IdBandwidth = 1051,
              IdWeighting = 1054, IdTime = 1057, IdDisplay = 1031, IdOaspl = 1033 };
    // Item keys of "Dspl".
    enum Display { DisplayLine = 0, DisplayBar = 1, DisplayFilledBar = 2 };

    explicit COctPanel(QWidget* view);

    // The values the view reads.
    double YDiv() const;
    double YOffset() const;
    double LowHz() const;
    double HighHz() const;
    int BandsPerOctave() const;
    int Weighting() const;
    // τ in seconds of the chosen time weighting: "Slow" 1, "Fast" 0.125, "35ms" 0.035.
    double TimeConstant() const;
    int DisplayStyle() const;
    bool OasplOn() const;
    // Makes the offset step one level division.
    void RegridOffset();

protected:
    void OnInitDialog() override;
};
