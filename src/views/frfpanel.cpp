#include "views/frfpanel.h"
#include "views/panellists.h"

#include "widgets/selectorbutton.h"

#include <algorithm>

namespace {
using P = CFrfPanel;

constexpr DialogControl kTemplate[] = {
    {CPanelDlg::GroupChannel1, ControlKind::Frame, "", 2, 3, 45, 31},
    {CPanelDlg::GroupChannel2, ControlKind::Frame, "", 50, 3, 45, 31},
    {CPanelDlg::GroupAxis, ControlKind::Frame, "", 1, 37, 94, 96},
    {P::IdYDiv1, ControlKind::Selector, "YDiv", 4, 6, 40, 11},
    {P::IdYDiv2, ControlKind::Selector, "YDiv", 53, 6, 40, 11},
    {P::IdOff1, ControlKind::Selector, "Off", 4, 19, 40, 11},
    {P::IdOff2, ControlKind::Selector, "Off", 53, 19, 40, 11},
    {P::IdWindow, ControlKind::Selector, "Wnd", 4, 44, 87, 11},
    {P::IdCalc, ControlKind::Selector, "Calc", 4, 60, 54, 11},
    {P::IdDisplay, ControlKind::Selector, "Dspl", 4, 75, 87, 11},
    {P::IdYScale, ControlKind::Selector, "YScl", 4, 89, 87, 11},
    {P::IdXDiv, ControlKind::Selector, "XDv", 4, 103, 54, 11},
    {P::IdXPos, ControlKind::Selector, "XPos", 4, 118, 54, 11},
};

constexpr PanelNotification kNotifications[] = {
    {P::IdYDiv1, PanelYDiv1, Delivery::Send},   {P::IdYDiv2, PanelYDiv2, Delivery::Send},
    {P::IdOff1, PanelOffset1, Delivery::Send},  {P::IdOff2, PanelOffset2, Delivery::Send},
    {P::IdWindow, PanelWindow, Delivery::Send}, {P::IdCalc, PanelFrfEstimator},
    {P::IdDisplay, PanelFrfDisplay},            {P::IdYScale, PanelLevelScale, Delivery::Send},
    {P::IdXDiv, PanelXScale},                   {P::IdXPos, PanelXOffset, Delivery::Send},
};

constexpr PanelSetting kWriteOrder[] = {
    {P::IdYScale, "Ysc:"},  {P::IdYDiv2, "YDiv2:"}, {P::IdXPos, "XOff:"},   {P::IdOff2, "YOff2:"},
    {P::IdOff1, "YOFF1:"},  {P::IdYDiv1, "YDiv1:"}, {P::IdWindow, "Wnd:"},  {P::IdXDiv, "XDiv:"},
    {P::IdDisplay, "Dspl:"}, {P::IdCalc, "Calc:"},
};
} // namespace

CFrfPanel::CFrfPanel(QWidget* view) : CFrequencyPanel(view) { Create(kTemplate, kWidth, kHeight); }

void CFrfPanel::OnInitDialog()
{
    SetNotifications(kNotifications);
    SetSettings(kWriteOrder);
    FillCommon("5", "50");
    FillKeyed(IdCalc, {"H0", "H1", "H2"}, false);
    FillKeyed(IdDisplay, {"Mag+Phase", "RE+IM"}, true);
    FillKeyed(IdYScale, {"Linear RMS", "10 log"}, false);
    Selector(IdYScale)->SelectText(QStringLiteral("10 log"));
    ResponseScaleCaptions(*Selector(IdYScale));
    UpdateScaleEnable();
}

void CFrfPanel::UpdateScaleEnable()
{
    CSelectorButton* scale = Selector(IdYScale);
    scale->SetEnabled(Selector(IdDisplay)->CurrentKey() != DisplayReIm);
    scale->update();
}

int CFrfPanel::EstimatorKey() const { return std::max(0, Selector(IdCalc)->CurrentKey()); }

int CFrfPanel::DisplayKey() const { return std::max(0, Selector(IdDisplay)->CurrentKey()); }

int CFrfPanel::LevelKey() const { return std::max(0, Selector(IdYScale)->CurrentKey()); }
