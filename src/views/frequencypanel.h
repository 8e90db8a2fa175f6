#pragma once
// The common construction of the five spectrum panels (FFT, PSD, FRF, COH,
// CRS): the controls they share have the same ids on every panel, and the
// views read and re-grid them through the accessors here. A control a panel
// does not have reads as its neutral value (division 1, offset 0). UI thread
// only.

#include "views/paneldlg.h"

#include <initializer_list>

class CFrequencyPanel : public CPanelDlg {
    Q_OBJECT
public:
    // Ids shared by the spectrum panels' templates.
    enum CommonId {
        IdYDiv1 = 1042, IdYDiv2 = 1043, IdOff1 = 1053, IdOff2 = 1056, IdWindow = 1021, IdXDiv = 1018,
        IdXPos = 1038, IdCursor = 1022,
    };

    explicit CFrequencyPanel(QWidget* view) : CPanelDlg(view) {}

    // Vertical division of trace 0 or 1 (its "YDiv" text as a number).
    double Division(int trace) const;
    // Vertical offset of trace 0 or 1; 0 before the selector is numeric.
    double Offset(int trace) const;
    // WindowType key of "Wnd".
    int Window() const;
    // Hz per division of "XDv".
    double FrequencyPerDivision() const;
    // Start frequency of "XPos"; 0 while it is not yet gridded.
    double XOffset() const;
    // Key of "Curs"; 0 on panels without it.
    int CursorKey() const;

    // The offset of a trace takes the trace's division as its step,
    // keeping its value.
    void RegridOffset(int trace);
    // "XPos" takes step with its value kept (numeric from then on).
    void RegridXOffset(double step);
    // Rescale results: "YDiv" nearest division, offset on that grid.
    void SetTraceScale(int trace, double division, double offset);
    // "XDv" nearest to perDivision, "XPos" 0 with a tenth of it as step.
    void SetFrequencyScale(double perDivision);

protected:
    // The fills the panels share: both "YDiv" from the volts list with
    // their defaults, both offsets numeric step 5 at 0, "Wnd" "Hann",
    // "XDv" "100 Hz" (whichever of these the template has).
    void FillCommon(const char* yDiv1, const char* yDiv2);
    // "XPos" numeric, step 100, value 0.
    void MakeXPosNumeric();
    // Appends items keyed 0, 1, … and selects the first; wrap as given.
    void FillKeyed(int id, std::initializer_list<const char*> texts, bool wrap);
};
