#include "views/acrpanel.h"

#include "views/graphwnd.h"
#include "views/panellists.h"
#include "widgets/selectorbutton.h"

namespace {
using P = CAcrPanel;

// Template 145, 100 × 155 dialog units.
constexpr DialogControl kTemplate[] = {
    {CPanelDlg::GroupChannel1, ControlKind::Frame, "", 1, 2, 45, 33},
    {P::IdYDiv1, ControlKind::Selector, "YDiv", 4, 4, 40, 11},
    {P::IdOff1, ControlKind::Selector, "Off", 4, 19, 40, 11},
    {CPanelDlg::GroupChannel2, ControlKind::Frame, "", 50, 1, 45, 34},
    {P::IdYDiv2, ControlKind::Selector, "YDiv", 53, 4, 40, 11},
    {P::IdOff2, ControlKind::Selector, "Off", 53, 19, 40, 11},
    {CPanelDlg::GroupAxis, ControlKind::Frame, "", 0, 39, 94, 34},
    {P::IdXDiv, ControlKind::Selector, "XDv", 3, 46, 54, 11},
    {P::IdXPos, ControlKind::Selector, "XPos", 2, 59, 54, 11},
    {CPanelDlg::GroupAnalysis, ControlKind::Frame, "", 0, 74, 94, 19},
    {P::IdDisplay, ControlKind::Selector, "Dspl", 2, 77, 54, 11},
};

constexpr PanelNotification kNotifications[] = {
    {P::IdYDiv1, PanelYDiv1}, {P::IdYDiv2, PanelYDiv2},   {P::IdOff1, PanelOffset1},
    {P::IdOff2, PanelOffset2}, {P::IdXDiv, PanelXScale}, {P::IdXPos, PanelXOffset},
    {P::IdDisplay, PanelDisplayMode},
};

constexpr PanelSetting kWriteOrder[] = {
    {P::IdOff2, "YOff2:"},      {P::IdOff1, "YOff1:"}, {P::IdYDiv2, "YDiv2:"}, {P::IdYDiv1, "YDiv1:"},
    {P::IdDisplay, "Dspl:"},    {P::IdXPos, "XOff:"},  {P::IdXDiv, "XDiv:"},
};

double NumericOrZero(const CSelectorButton& selector) { return selector.IsNumeric() ? selector.NumericValue() : 0.0; }
} // namespace

CAcrPanel::CAcrPanel(QWidget* view) : CPanelDlg(view) { Create(kTemplate, 100, 155); }

void CAcrPanel::OnInitDialog()
{
    SetNotifications(kNotifications);
    SetSettings(kWriteOrder);
    VoltsPerDivList(*Selector(IdYDiv1), QStringLiteral("5"));
    VoltsPerDivList(*Selector(IdYDiv2), QStringLiteral("5"));
    Selector(IdOff1)->SetNumeric(5.0, 0.0);
    Selector(IdOff2)->SetNumeric(5.0, 0.0);
    TimePerDivList(*Selector(IdXDiv), QStringLiteral("0.1s"));
    CSelectorButton& display = *Selector(IdDisplay);
    display.AddItem(QStringLiteral("Normed"), DisplayNormed);
    display.AddItem(QStringLiteral("Real"), DisplayReal);
    display.SelectKey(DisplayNormed, false);
}

double CAcrPanel::Division(int trace) const
{
    return CGraphWnd::ParseWithPrefix(Selector(trace == 0 ? IdYDiv1 : IdYDiv2)->CurrentText());
}

double CAcrPanel::Offset(int trace) const { return NumericOrZero(*Selector(trace == 0 ? IdOff1 : IdOff2)); }

double CAcrPanel::TimePerDivision() const { return CGraphWnd::ParseWithPrefix(Selector(IdXDiv)->CurrentText()); }

double CAcrPanel::XOffset() const { return NumericOrZero(*Selector(IdXPos)); }

bool CAcrPanel::Normed() const { return Selector(IdDisplay)->CurrentKey() == DisplayNormed; }
