#pragma once
// The multimeter view's panel: the statistic and the window length in
// seconds. UI thread only.

#include "views/paneldlg.h"

class CDmmPanel : public CPanelDlg {
    Q_OBJECT
public:
    enum Id { IdCalc = 1052, IdTime = 1055 };

    explicit CDmmPanel(QWidget* view);

    // MultimeterStatistic value of "Calc".
    int Statistic() const;
    // "T" read as seconds.
    double WindowSeconds() const;

protected:
    void OnInitDialog() override;
};
