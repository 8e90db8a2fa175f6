#pragma once
// The coherence view's panel: window, span and start frequency. UI thread
// only.

#include "views/frequencypanel.h"

class CCohPanel : public CFrequencyPanel {
    Q_OBJECT
public:
    static constexpr int kResourceId = 139;
    static constexpr int kWidth = 100; // dialog units
    static constexpr int kHeight = 61; // dialog units

    explicit CCohPanel(QWidget* view);

protected:
    void OnInitDialog() override;
};
