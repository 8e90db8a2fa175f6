#pragma once
// The control panel of the time view: vertical scale, offset and coupling of
// the two traces, the trigger (mode, source, slope, level, position,
// window), the time base and the cursor mode. It is the first panel made and
// sets the process-wide panel width from its own size. UI thread only.

#include "views/paneldlg.h"

class CTimePanel : public CPanelDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 129;
    static constexpr int kWidth = 98;   // dialog units
    static constexpr int kHeight = 149; // dialog units
    enum ControlId {
        IdYDiv1 = 1042, IdOff1 = 1053, IdCpl1 = 1048, IdYDiv2 = 1043, IdOff2 = 1056, IdCpl2 = 1050,
        IdTrgSrc = 1020, IdSlope = 1023, IdTrg = 1019, IdLevel = 1022, IdPos = 1029, IdWindow = 1024,
        IdXDiv = 1018, IdCursor = 1021,
    };
    enum TriggerMode { TriggerNone = 0, TriggerAuto = 1, TriggerLevel = 2 };
    enum Slope { SlopeFalling = 0, SlopeRising = 1, SlopeWindow = 2 };

    explicit CTimePanel(QWidget* view);

    // Lists every channel of the channel buffer service by its physical
    // channel number (key = channel index) and keeps the chosen text when
    // it is still there, else the first channel. No notification.
    void RefillTriggerSources();

protected:
    void OnInitDialog() override;
    void LineLoaded(int id) override;
};
