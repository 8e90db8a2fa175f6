#pragma once
// What the two correlation views share: the lag axis (lag 0 in the middle
// of N values, one sample interval per value) and the rescaling of their
// panels' division, offset and lag selectors. UI thread only.

#include <QString>

class CPanelDlg;

namespace CorrelationAxis {

// The lag of value 0, seconds: −(N/2)·dt with N/2 in integers.
double Origin(int points, double dt);

// The unit of correlation coefficients.
inline QString NormedUnit() { return QStringLiteral("Nrm"); }

// The 1-2-5 division (chosen in the division selector) and offset (the
// offset selector, one step per division) that show count values.
void RescaleTrace(CPanelDlg& panel, int divisionId, int offsetId, const float* values, int count);

// Ten divisions over all N lags: the time per division nearest N·dt/10,
// the left edge at the first lag −N·dt/2, one offset step a tenth of a
// division.
void RescaleLag(CPanelDlg& panel, int divisionId, int offsetId, int points, double dt);

} // namespace CorrelationAxis
