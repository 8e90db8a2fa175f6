#include "views/correlationaxis.h"

#include "views/graphwnd.h"
#include "views/paneldlg.h"
#include "widgets/selectorbutton.h"

namespace CorrelationAxis {

double Origin(int points, double dt) { return -(points / 2) * dt; }

void RescaleTrace(CPanelDlg& panel, int divisionId, int offsetId, const float* values, int count)
{
    CSelectorButton* division = panel.Selector(divisionId);
    CSelectorButton* offset = panel.Selector(offsetId);
    double perDivision = CGraphWnd::ParseWithPrefix(division->CurrentText());
    double start = offset->IsNumeric() ? offset->NumericValue() : 0.0;
    CGraphWnd::RescaleDivisions(values, count, perDivision, start);
    division->SelectNearest(perDivision);
    division->update();
    offset->SetNumeric(CGraphWnd::ParseWithPrefix(division->CurrentText()), start);
    offset->update();
}

void RescaleLag(CPanelDlg& panel, int divisionId, int offsetId, int points, double dt)
{
    CSelectorButton* division = panel.Selector(divisionId);
    CSelectorButton* offset = panel.Selector(offsetId);
    division->SelectNearest(dt * points * 0.1);
    division->update();
    offset->SetNumeric(CGraphWnd::ParseWithPrefix(division->CurrentText()) * 0.1, -0.5 * dt * points);
    offset->update();
}

} // namespace CorrelationAxis
