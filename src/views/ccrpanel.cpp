#include "views/ccrpanel.h"

#include "context/colourscheme.h"
#include "views/graphwnd.h"
#include "views/panellists.h"
#include "widgets/selectorbutton.h"

namespace {
using P = CCcrPanel;

// Template 141, 100 × 125 dialog units.
constexpr DialogControl kTemplate[] = {
    {CPanelDlg::GroupChannel1, ControlKind::Frame, "", 1, 2, 92, 33},
    {P::IdYDiv1, ControlKind::Selector, "YDiv", 27, 4, 40, 11},
    {P::IdOff1, ControlKind::Selector, "Off", 27, 19, 40, 11},
    {CPanelDlg::GroupAxis, ControlKind::Frame, "", 0, 38, 94, 36},
    {P::IdXDiv, ControlKind::Selector, "XDv", 3, 44, 54, 11},
    {P::IdXPos, ControlKind::Selector, "XPos", 2, 58, 54, 11},
    {CPanelDlg::GroupAnalysis, ControlKind::Frame, "", 0, 74, 94, 19},
    {P::IdDisplay, ControlKind::Selector, "Dspl", 2, 77, 54, 11},
    {CPanelDlg::GroupCursor, ControlKind::Frame, "", 0, 94, 94, 19},
    {P::IdCursor, ControlKind::Selector, "Curs", 2, 97, 54, 11},
};

constexpr PanelNotification kNotifications[] = {
    {P::IdYDiv1, PanelYDiv1},   {P::IdOff1, PanelOffset1},        {P::IdXDiv, PanelXScale},
    {P::IdXPos, PanelXOffset},  {P::IdDisplay, PanelDisplayMode}, {P::IdCursor, PanelCursorMode},
};

constexpr PanelSetting kWriteOrder[] = {
    {P::IdCursor, "Curs:"}, {P::IdDisplay, "Dspl:"}, {P::IdOff1, "YOff1:"},
    {P::IdYDiv1, "YDiv1:"}, {P::IdXPos, "XOff:"},    {P::IdXDiv, "XDiv:"},
};

double NumericOrZero(const CSelectorButton& selector) { return selector.IsNumeric() ? selector.NumericValue() : 0.0; }
} // namespace

CCcrPanel::CCcrPanel(QWidget* view) : CPanelDlg(view) { Create(kTemplate, 100, 125); }

void CCcrPanel::OnInitDialog()
{
    SetNotifications(kNotifications);
    SetSettings(kWriteOrder);
    VoltsPerDivList(*Selector(IdYDiv1), QStringLiteral("5"));
    Selector(IdOff1)->SetNumeric(5.0, 0.0);
    TimePerDivList(*Selector(IdXDiv), QStringLiteral("0.1s"));
    CSelectorButton& display = *Selector(IdDisplay);
    display.AddItem(QStringLiteral("Normed"), DisplayNormed);
    display.AddItem(QStringLiteral("Real"), DisplayReal);
    display.SelectKey(DisplayNormed, false);
    CSelectorButton& cursor = *Selector(IdCursor);
    cursor.AddItem(QStringLiteral("Manual"), 0);
    cursor.AddItem(QStringLiteral("Auto"), 1);
    cursor.SelectKey(0, false);
}

QColor CCcrPanel::OutlineColour(int groupId, const ColourScheme& colours) const
{
    return groupId == GroupChannel1 ? colours.panelLine : CPanelDlg::OutlineColour(groupId, colours);
}

double CCcrPanel::Division() const { return CGraphWnd::ParseWithPrefix(Selector(IdYDiv1)->CurrentText()); }

double CCcrPanel::Offset() const { return NumericOrZero(*Selector(IdOff1)); }

double CCcrPanel::TimePerDivision() const { return CGraphWnd::ParseWithPrefix(Selector(IdXDiv)->CurrentText()); }

double CCcrPanel::XOffset() const { return NumericOrZero(*Selector(IdXPos)); }

bool CCcrPanel::Normed() const { return Selector(IdDisplay)->CurrentKey() == DisplayNormed; }

int CCcrPanel::CursorMode() const { return Selector(IdCursor)->CurrentKey(); }
