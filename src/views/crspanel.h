#pragma once
// The cross spectrum view's panel: scales and offsets of magnitude (trace
// 1) and phase (trace 2), window, power or density, span and start
// frequency. "XPos" has no value until the view first grids it. UI thread
// only.

#include "views/frequencypanel.h"

class CCrsPanel : public CFrequencyPanel {
    Q_OBJECT
public:
    static constexpr int kResourceId = 140;
    static constexpr int kWidth = 118;  // dialog units
    static constexpr int kHeight = 136; // dialog units
    enum Id { IdDensity = 1026 };

    explicit CCrsPanel(QWidget* view);

    bool Density() const;

protected:
    void OnInitDialog() override;
};
