#pragma once
// The FFT view's panel: scales and offsets of both traces, window, span and
// start frequency, display ("Mag", "Mag+Phase", "RE+IM"), integration,
// amplitude ("Peak", "RMS"), averaging and cursor mode. UI thread only.

#include "views/frequencypanel.h"

class CFftPanel : public CFrequencyPanel {
    Q_OBJECT
public:
    static constexpr int kResourceId = 132;
    static constexpr int kWidth = 126;  // dialog units
    static constexpr int kHeight = 207; // dialog units
    enum Id { IdDisplay = 1031, IdCalc = 1052, IdAmplitude = 1025, IdAverage = 1070 };

    explicit CFftPanel(QWidget* view);

    int DisplayKey() const;
    int IntegrationKey() const;
    int AmplitudeKey() const;
    int AverageKey() const;

protected:
    void OnInitDialog() override;
};
