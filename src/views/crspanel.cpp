#include "views/crspanel.h"

#include "widgets/selectorbutton.h"

namespace {
using P = CCrsPanel;

constexpr DialogControl kTemplate[] = {
    {CPanelDlg::GroupChannel1, ControlKind::Frame, "", 1, 0, 48, 31},
    {CPanelDlg::GroupChannel2, ControlKind::Frame, "", 50, 0, 45, 31},
    {CPanelDlg::GroupAxis, ControlKind::Frame, "", 1, 32, 94, 79},
    {P::IdYDiv1, ControlKind::Selector, "YDiv", 4, 1, 40, 11},
    {P::IdYDiv2, ControlKind::Selector, "YDiv", 52, 1, 40, 11},
    {P::IdOff1, ControlKind::Selector, "Off", 4, 16, 40, 11},
    {P::IdOff2, ControlKind::Selector, "Off", 52, 16, 40, 11},
    {P::IdWindow, ControlKind::Selector, "Wnd", 3, 35, 87, 11},
    {P::IdDensity, ControlKind::Selector, "Dspl", 3, 49, 54, 11},
    {P::IdXDiv, ControlKind::Selector, "XDv", 4, 64, 54, 11},
    {P::IdXPos, ControlKind::Selector, "XPos", 4, 79, 54, 11},
};

constexpr PanelNotification kNotifications[] = {
    {P::IdYDiv1, PanelYDiv1, Delivery::Send}, {P::IdYDiv2, PanelYDiv2, Delivery::Send},
    {P::IdOff1, PanelOffset1},                {P::IdOff2, PanelOffset2},
    {P::IdWindow, PanelWindow},               {P::IdDensity, PanelPowerDisplay},
    {P::IdXDiv, PanelXScale},                 {P::IdXPos, PanelXOffset},
};

constexpr PanelSetting kWriteOrder[] = {
    {P::IdOff2, "YOff2:"},  {P::IdOff1, "YOff1:"},  {P::IdWindow, "Wnd:"}, {P::IdXPos, "XOff:"},
    {P::IdYDiv2, "YDiv2:"}, {P::IdYDiv1, "YDiv1:"}, {P::IdXDiv, "XDiv:"},  {P::IdDensity, "Dns:"},
};
} // namespace

CCrsPanel::CCrsPanel(QWidget* view) : CFrequencyPanel(view) { Create(kTemplate, kWidth, kHeight); }

void CCrsPanel::OnInitDialog()
{
    SetNotifications(kNotifications);
    SetSettings(kWriteOrder);
    FillCommon("5", "50");
    FillKeyed(IdDensity, {"Power", "Density"}, true);
}

bool CCrsPanel::Density() const { return Selector(IdDensity)->CurrentKey() == 1; }
