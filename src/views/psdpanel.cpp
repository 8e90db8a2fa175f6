#include "views/psdpanel.h"
#include "views/panellists.h"

#include "widgets/selectorbutton.h"

#include <algorithm>

namespace {
using P = CPsdPanel;

constexpr DialogControl kTemplate[] = {
    {CPanelDlg::GroupChannel1, ControlKind::Frame, "", 0, 0, 47, 30},
    {CPanelDlg::GroupChannel2, ControlKind::Frame, "", 50, 0, 44, 31},
    {CPanelDlg::GroupAxis, ControlKind::Frame, "", 1, 35, 94, 97},
    {CPanelDlg::GroupCursor, ControlKind::Frame, "", 2, 134, 94, 19},
    {P::IdYDiv1, ControlKind::Selector, "YDiv", 4, 1, 38, 11},
    {P::IdYDiv2, ControlKind::Selector, "YDiv", 53, 1, 38, 11},
    {P::IdOff1, ControlKind::Selector, "Off", 4, 16, 38, 11},
    {P::IdOff2, ControlKind::Selector, "Off", 53, 16, 38, 11},
    {P::IdWindow, ControlKind::Selector, "Wnd", 3, 38, 87, 11},
    {P::IdXDiv, ControlKind::Selector, "XDv", 4, 54, 54, 11},
    {P::IdXPos, ControlKind::Selector, "XPos", 3, 69, 54, 11},
    {P::IdDensity, ControlKind::Selector, "Dspl", 3, 83, 54, 11},
    {P::IdScale, ControlKind::Selector, "Scl", 3, 98, 90, 11},
    {P::IdAverage, ControlKind::Selector, "Avg", 4, 113, 54, 11},
    {P::IdCursor, ControlKind::Selector, "Curs", 4, 137, 54, 11},
};

constexpr PanelNotification kNotifications[] = {
    {P::IdYDiv1, PanelYDiv1, Delivery::Send}, {P::IdYDiv2, PanelYDiv2, Delivery::Send},
    {P::IdOff1, PanelOffset1},                {P::IdOff2, PanelOffset2},
    {P::IdWindow, PanelWindow},               {P::IdXDiv, PanelXScale},
    {P::IdXPos, PanelXOffset},                {P::IdDensity, PanelPowerDisplay},
    {P::IdScale, PanelLevelScale},            {P::IdAverage, PanelAverageMode},
    {P::IdCursor, PanelCursorMode},
};

constexpr PanelSetting kWriteOrder[] = {
    {P::IdCursor, "Curs:"},  {P::IdAverage, "Avm:"}, {P::IdOff2, "YOff2:"},   {P::IdOff1, "YOff1:"},
    {P::IdScale, "Scale:"},  {P::IdDensity, "Dns:"}, {P::IdXDiv, "XDiv:"},    {P::IdXPos, "XOff:"},
    {P::IdYDiv2, "YDiv2:"},  {P::IdYDiv1, "YDiv1:"}, {P::IdWindow, "Wnd:"},
};
} // namespace

CPsdPanel::CPsdPanel(QWidget* view) : CFrequencyPanel(view) { Create(kTemplate, kWidth, kHeight); }

void CPsdPanel::OnInitDialog()
{
    SetNotifications(kNotifications);
    SetSettings(kWriteOrder);
    FillCommon("5", "5");
    MakeXPosNumeric();
    FillKeyed(IdDensity, {"Power", "Density"}, true);
    FillKeyed(IdScale, {"Lin. RMS", "10 log p/p0", "10 log p/pmax", "dbV", "dbuV"}, true);
    LevelScaleCaptions(*Selector(IdScale));
    FillKeyed(IdAverage, {"Linear", "Peak hold", "Cascade", "Spctgrm"}, true);
    FillKeyed(IdCursor, {"Manual", "Auto", "Harmonic"}, false);
}

bool CPsdPanel::Density() const { return Selector(IdDensity)->CurrentKey() == 1; }

int CPsdPanel::ScaleKey() const { return std::max(0, Selector(IdScale)->CurrentKey()); }

int CPsdPanel::AverageKey() const { return std::max(0, Selector(IdAverage)->CurrentKey()); }
