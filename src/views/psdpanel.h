#pragma once
// The PSD view's panel: scales and offsets of both traces, window, span and
// start frequency, power or density, level scale, averaging and cursor
// mode. UI thread only.

#include "views/frequencypanel.h"

class CPsdPanel : public CFrequencyPanel {
    Q_OBJECT
public:
    static constexpr int kResourceId = 133;
    static constexpr int kWidth = 126;  // dialog units
    static constexpr int kHeight = 192; // dialog units
    enum Id { IdDensity = 1026, IdScale = 1030, IdAverage = 1070 };

    explicit CPsdPanel(QWidget* view);

    bool Density() const;
    // LevelScale key of "Scl".
    int ScaleKey() const;
    int AverageKey() const;

protected:
    void OnInitDialog() override;
};
