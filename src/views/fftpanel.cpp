#include "views/fftpanel.h"

#include "widgets/selectorbutton.h"

#include <algorithm>

namespace {
using P = CFftPanel;

constexpr DialogControl kTemplate[] = {
    {CPanelDlg::GroupChannel1, ControlKind::Frame, "", 1, 2, 45, 33},
    {CPanelDlg::GroupChannel2, ControlKind::Frame, "", 50, 1, 45, 34},
    {CPanelDlg::GroupAxis, ControlKind::Frame, "", 1, 40, 94, 113},
    {CPanelDlg::GroupCursor, ControlKind::Frame, "", 2, 158, 94, 19},
    {P::IdYDiv1, ControlKind::Selector, "YDiv", 4, 4, 40, 11},
    {P::IdYDiv2, ControlKind::Selector, "YDiv", 53, 4, 40, 11},
    {P::IdOff1, ControlKind::Selector, "Off", 4, 19, 40, 11},
    {P::IdOff2, ControlKind::Selector, "Off", 53, 19, 40, 11},
    {P::IdWindow, ControlKind::Selector, "Wnd", 4, 45, 54, 11},
    {P::IdXDiv, ControlKind::Selector, "XDv", 4, 60, 54, 11},
    {P::IdXPos, ControlKind::Selector, "XPos", 4, 75, 54, 11},
    {P::IdDisplay, ControlKind::Selector, "Dspl", 4, 92, 83, 11},
    {P::IdCalc, ControlKind::Selector, "Calc", 3, 108, 54, 11},
    {P::IdAmplitude, ControlKind::Selector, "Ampl", 4, 123, 54, 11},
    {P::IdAverage, ControlKind::Selector, "Avg", 4, 137, 54, 11},
    {P::IdCursor, ControlKind::Selector, "Curs", 4, 161, 54, 11},
};

constexpr PanelNotification kNotifications[] = {
    {P::IdYDiv1, PanelYDiv1},         {P::IdYDiv2, PanelYDiv2},   {P::IdOff1, PanelOffset1},
    {P::IdOff2, PanelOffset2},        {P::IdWindow, PanelWindow}, {P::IdXDiv, PanelSpan},
    {P::IdXPos, PanelXOffset},        {P::IdDisplay, PanelDisplayMode}, {P::IdCalc, PanelIntegration},
    {P::IdAmplitude, PanelAmplitude}, {P::IdAverage, PanelAverageMode}, {P::IdCursor, PanelCursorMode},
};

constexpr PanelSetting kWriteOrder[] = {
    {P::IdYDiv1, "YDiv1:"},  {P::IdYDiv2, "YDiv2:"},     {P::IdOff1, "YOff1:"}, {P::IdOff2, "YOff2:"},
    {P::IdDisplay, "Dspl:"}, {P::IdXDiv, "XDiv:"},       {P::IdXPos, "XOff:"},  {P::IdAverage, "Avm:"},
    {P::IdWindow, "Wnd:"},   {P::IdAmplitude, "Ampl:"}, {P::IdCalc, "Clc:"},   {P::IdCursor, "Curs:"},
};
} // namespace

CFftPanel::CFftPanel(QWidget* view) : CFrequencyPanel(view) { Create(kTemplate, kWidth, kHeight); }

void CFftPanel::OnInitDialog()
{
    SetNotifications(kNotifications);
    SetSettings(kWriteOrder);
    FillCommon("5", "5");
    MakeXPosNumeric();
    FillKeyed(IdDisplay, {"Mag", "Mag+Phase", "RE+IM"}, false);
    FillKeyed(IdCalc, {"None", "Int", "Int Int"}, false);
    FillKeyed(IdAmplitude, {"Peak", "RMS"}, true);
    FillKeyed(IdAverage, {"Linear", "Peak hold", "Cascade", "Spctgrm"}, true);
    FillKeyed(IdCursor, {"Manual", "Auto", "Harmonic"}, false);
}

int CFftPanel::DisplayKey() const { return std::max(0, Selector(IdDisplay)->CurrentKey()); }

int CFftPanel::IntegrationKey() const { return std::max(0, Selector(IdCalc)->CurrentKey()); }

int CFftPanel::AmplitudeKey() const { return std::max(0, Selector(IdAmplitude)->CurrentKey()); }

int CFftPanel::AverageKey() const { return std::max(0, Selector(IdAverage)->CurrentKey()); }
