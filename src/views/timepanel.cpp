#include "timepanel.h"

#include "context/appcontext.h"
#include "views/panellists.h"
#include "widgets/selectorbutton.h"
#include "context/channelsource.h"

namespace {
using P = CTimePanel;

constexpr DialogControl kTemplate[] = {
    {CPanelDlg::GroupChannel1, ControlKind::Frame, "", 2, 3, 45, 43},
    {P::IdYDiv1, ControlKind::Selector, "YDiv", 4, 6, 40, 11},
    {P::IdOff1, ControlKind::Selector, "Off", 4, 19, 40, 11},
    {P::IdCpl1, ControlKind::Selector, "Cpl", 4, 32, 40, 11},
    {CPanelDlg::GroupChannel2, ControlKind::Frame, "", 50, 3, 45, 43},
    {P::IdYDiv2, ControlKind::Selector, "YDiv", 53, 6, 40, 11},
    {P::IdOff2, ControlKind::Selector, "Off", 53, 19, 40, 11},
    {P::IdCpl2, ControlKind::Selector, "Cpl", 53, 32, 40, 11},
    {CPanelDlg::GroupAxis, ControlKind::Frame, "", 2, 49, 94, 50},
    {P::IdTrgSrc, ControlKind::Selector, "TSrc", 4, 52, 40, 11},
    {P::IdSlope, ControlKind::Selector, "Slp", 53, 52, 40, 11},
    {P::IdTrg, ControlKind::Selector, "Trg", 4, 66, 40, 11},
    {P::IdLevel, ControlKind::Selector, "TLvl", 53, 66, 40, 11},
    {P::IdPos, ControlKind::Selector, "TPos", 4, 80, 40, 11},
    {P::IdWindow, ControlKind::Selector, "TWin", 53, 80, 40, 11},
    {CPanelDlg::GroupAnalysis, ControlKind::Frame, "", 2, 102, 94, 19},
    {P::IdXDiv, ControlKind::Selector, "XDv", 4, 106, 66, 11},
    {CPanelDlg::GroupCursor, ControlKind::Frame, "", 2, 125, 94, 19},
    {P::IdCursor, ControlKind::Selector, "Cursor", 4, 128, 66, 11},
};

constexpr PanelNotification kNotifications[] = {
    {P::IdYDiv1, PanelYDiv1, Delivery::Send},  {P::IdYDiv2, PanelYDiv2, Delivery::Send},
    {P::IdOff1, PanelOffset1},                 {P::IdOff2, PanelOffset2},
    {P::IdCpl1, PanelCoupling, Delivery::Send}, {P::IdCpl2, PanelCoupling, Delivery::Send},
    {P::IdTrgSrc, PanelTriggerSource},         {P::IdTrg, PanelTrigger},
    {P::IdLevel, PanelTrigger},                {P::IdSlope, PanelTriggerSlope},
    {P::IdPos, PanelTriggerPos},               {P::IdWindow, PanelTriggerSlope},
    {P::IdXDiv, PanelXScale},                  {P::IdCursor, PanelCursorMode},
};

constexpr PanelSetting kWriteOrder[] = {
    {P::IdCpl1, "CPl1:"},    {P::IdCpl2, "CPl2:"},     {P::IdYDiv2, "YDiv2:"},    {P::IdYDiv1, "YDiv1:"},
    {P::IdOff1, "YOff1:"},   {P::IdOff2, "YOff2:"},    {P::IdTrg, "Trg:"},        {P::IdTrgSrc, "TrgSrc:"},
    {P::IdPos, "TrgPos:"},   {P::IdSlope, "TrgSlp:"},  {P::IdLevel, "TrgLvlL:"},  {P::IdWindow, "TrgWin:"},
    {P::IdXDiv, "XDiv:"},    {P::IdCursor, "Curs:"},
};
constexpr PanelSetting kTestOrder[] = {
    {P::IdCpl1, "CPl1:"},    {P::IdCpl2, "CPl2:"},     {P::IdYDiv1, "YDiv1:"},    {P::IdYDiv2, "YDiv2:"},
    {P::IdOff1, "YOff1:"},   {P::IdOff2, "YOff2:"},    {P::IdTrg, "Trg:"},        {P::IdTrgSrc, "TrgSrc:"},
    {P::IdPos, "TrgPos:"},   {P::IdSlope, "TrgSlp:"},  {P::IdLevel, "TrgLvlL:"},  {P::IdWindow, "TrgWin:"},
    {P::IdXDiv, "XDiv:"},    {P::IdCursor, "Curs:"},
};

void AddKeyed(CSelectorButton& selector, std::initializer_list<const char*> texts)
{
    int key = 0;
    for (const char* text : texts)
        selector.AddItem(QString::fromLatin1(text), key++);
}
} // namespace

CTimePanel::CTimePanel(QWidget* view) : CPanelDlg(view) { Create(kTemplate, kWidth, kHeight); }

void CTimePanel::OnInitDialog()
{
    Ctx().panelWidth = width();
    SetNotifications(kNotifications);
    SetSettings(kWriteOrder, kTestOrder);

    for (int id : {IdCpl1, IdCpl2}) {
        AddKeyed(*Selector(id), {"AC", "DC"});
        Selector(id)->SelectText(QStringLiteral("AC"));
        Selector(id)->SetWrap(true);
    }
    TimePerDivList(*Selector(IdXDiv), QStringLiteral("0.1s"));
    VoltsPerDivList(*Selector(IdYDiv1), QStringLiteral("1"));
    VoltsPerDivList(*Selector(IdYDiv2), QStringLiteral("1"));

    CSelectorButton& source = *Selector(IdTrgSrc);
    AddKeyed(source, {"ch1", "ch2"});
    source.SelectKey(0, false);
    source.SetWrap(true);

    AddKeyed(*Selector(IdSlope), {"-", "+", "<>"});
    Selector(IdSlope)->SelectText(QStringLiteral("-"));
    Selector(IdSlope)->SetWrap(true);

    AddKeyed(*Selector(IdTrg), {"None", "Auto", "Level"});
    Selector(IdTrg)->SelectText(QStringLiteral("None"));

    Selector(IdLevel)->SetNumeric(0.05, 0.0);

    CSelectorButton& position = *Selector(IdPos);
    for (int percent = 0; percent <= 100; percent += 5)
        position.AddItem(QString::asprintf("%d%%", percent), -1);
    position.SelectText(QStringLiteral("0%"));

    AddKeyed(*Selector(IdCursor), {"Manual", "Auto"});
    Selector(IdCursor)->SelectKey(0, false);
}

void CTimePanel::LineLoaded(int id)
{
    // The view takes a loaded time base at once, before the next line.
    if (id == IdXDiv)
        Notify(PanelXScale, Delivery::Send);
}

void CTimePanel::RefillTriggerSources()
{
    CSelectorButton& source = *Selector(IdTrgSrc);
    const QString kept = source.CurrentText();
    source.ClearItems();
    const int count = std::max(0, Channels().ChannelCount());
    for (int i = 0; i < count; ++i)
        source.AddItem(QString::number(Channels().ChannelNumber(i)), i);
    if (count > 0)
        source.SelectText(kept);
    source.update();
}
