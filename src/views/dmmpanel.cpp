#include "views/dmmpanel.h"

#include "views/graphwnd.h"
#include "widgets/selectorbutton.h"

namespace {

// Template 135, 126 × 136 dialog units.
constexpr DialogControl kTemplate[] = {
    {CPanelDlg::GroupAxis, ControlKind::Frame, "", 0, 4, 94, 97},
    {CDmmPanel::IdCalc, ControlKind::Selector, "Calc", 4, 27, 54, 11},
    {CDmmPanel::IdTime, ControlKind::Selector, "T", 3, 43, 54, 11},
};

// "Calc" notifies nothing: the view reads it when a window is full.
constexpr PanelNotification kNotifications[] = {{CDmmPanel::IdTime, PanelTimeConstant}};

constexpr PanelSetting kWriteOrder[] = {{CDmmPanel::IdTime, "Tcst:"}, {CDmmPanel::IdCalc, "Clc:"}};

} // namespace

CDmmPanel::CDmmPanel(QWidget* view) : CPanelDlg(view) { Create(kTemplate, 126, 136); }

void CDmmPanel::OnInitDialog()
{
    SetNotifications(kNotifications);
    SetSettings(kWriteOrder);
    SetGroupOutlines(false);
    CSelectorButton* calc = Selector(IdCalc);
    int key = 0;
    for (const char* text : {"ONE", "MEAN", "RMS", "MIN", "MAX"})
        calc->AddItem(QString::fromUtf8(text), key++);
    calc->SelectText(QStringLiteral("RMS"));
    calc->SetWrap(false);
    CSelectorButton* time = Selector(IdTime);
    for (const char* text : {"0.3", "1", "3"})
        time->AddItem(QString::fromUtf8(text), -1);
    time->SelectText(QStringLiteral("0.3"));
    time->SetWrap(false);
}

int CDmmPanel::Statistic() const { return Selector(IdCalc)->CurrentKey(); }

double CDmmPanel::WindowSeconds() const { return CGraphWnd::ParseWithPrefix(Selector(IdTime)->CurrentText()); }
