#include "views/cohpanel.h"

namespace {
using P = CCohPanel;

constexpr DialogControl kTemplate[] = {
    {CPanelDlg::GroupAxis, ControlKind::Frame, "", 0, 5, 94, 51},
    {P::IdWindow, ControlKind::Selector, "Wnd", 2, 8, 87, 11},
    {P::IdXDiv, ControlKind::Selector, "XDv", 3, 24, 54, 11},
    {P::IdXPos, ControlKind::Selector, "XPos", 2, 39, 54, 11},
};

constexpr PanelNotification kNotifications[] = {
    {P::IdWindow, PanelWindow},
    {P::IdXDiv, PanelXScale},
    {P::IdXPos, PanelXOffset},
};

constexpr PanelSetting kWriteOrder[] = {{P::IdXPos, "XOff:"}, {P::IdXDiv, "XDiv:"}, {P::IdWindow, "Wnd:"}};
} // namespace

CCohPanel::CCohPanel(QWidget* view) : CFrequencyPanel(view) { Create(kTemplate, kWidth, kHeight); }

void CCohPanel::OnInitDialog()
{
    SetNotifications(kNotifications);
    SetSettings(kWriteOrder);
    FillCommon("5", "5");
    MakeXPosNumeric();
}
