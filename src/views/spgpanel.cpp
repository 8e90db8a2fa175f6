#include "views/spgpanel.h"

#include "analysis/levelscale.h"
#include "analysis/windowtype.h"
#include "views/graphwnd.h"
#include "views/panellists.h"
#include "widgets/selectorbutton.h"

namespace {
using P = CSpgPanel;

// Template 148, 126 × 192 dialog units.
constexpr DialogControl kTemplate[] = {
    {CPanelDlg::GroupChannel1, ControlKind::Frame, "", 0, 0, 47, 30},
    {P::IdYDiv1, ControlKind::Selector, "YDiv", 4, 1, 38, 11},
    {P::IdOff1, ControlKind::Selector, "Off", 4, 16, 38, 11},
    {CPanelDlg::GroupChannel2, ControlKind::Frame, "", 50, 0, 44, 31},
    {P::IdYDiv2, ControlKind::Selector, "YDiv", 53, 1, 38, 11},
    {P::IdOff2, ControlKind::Selector, "Off", 53, 16, 38, 11},
    {CPanelDlg::GroupAxis, ControlKind::Frame, "", 1, 35, 94, 61},
    {P::IdWindow, ControlKind::Selector, "Wnd", 3, 38, 87, 11},
    {P::IdXDiv, ControlKind::Selector, "XDv", 4, 54, 54, 11},
    {P::IdXPos, ControlKind::Selector, "XPos", 3, 69, 54, 11},
    {P::IdScale, ControlKind::Selector, "Scl", 3, 82, 90, 11},
};

constexpr PanelNotification kNotifications[] = {
    {P::IdYDiv1, PanelYDiv1, Delivery::Send}, {P::IdYDiv2, PanelYDiv2, Delivery::Send},
    {P::IdOff1, PanelOffset1},                {P::IdOff2, PanelOffset2},
    {P::IdWindow, PanelWindow},               {P::IdXDiv, PanelXScale},
    {P::IdXPos, PanelXOffset},                {P::IdScale, PanelLevelScale},
};

constexpr PanelSetting kWriteOrder[] = {
    {P::IdXPos, "XOff:"},  {P::IdOff2, "YOff2:"},  {P::IdOff1, "YOff1:"},   {P::IdScale, "Scale:"},
    {P::IdXDiv, "XDiv:"},  {P::IdYDiv2, "YDiv2:"}, {P::IdYDiv1, "YDiv1:"},  {P::IdWindow, "Wnd:"},
};

// The level scales a spectrogram offers, as keys of the scale list.
constexpr LevelScale kScales[] = {LevelScale::LogReference, LevelScale::DbV, LevelScale::DbU};

constexpr int kWideLabel = 40; // pixels, the label width of the wide selectors

double NumericOrZero(const CSelectorButton& selector) { return selector.IsNumeric() ? selector.NumericValue() : 0.0; }
} // namespace

CSpgPanel::CSpgPanel(QWidget* view) : CPanelDlg(view) { Create(kTemplate, 126, 192); }

void CSpgPanel::OnInitDialog()
{
    SetNotifications(kNotifications);
    SetSettings(kWriteOrder);
    VoltsPerDivList(*Selector(IdYDiv1), QStringLiteral("5"));
    VoltsPerDivList(*Selector(IdYDiv2), QStringLiteral("5"));
    Selector(IdOff1)->SetNumeric(5.0, 0.0);
    Selector(IdOff2)->SetNumeric(5.0, 0.0);
    WindowList(*Selector(IdWindow), QStringLiteral("Hann"));
    SpanList(*Selector(IdXDiv), QStringLiteral("100 Hz"));
    CSelectorButton& scale = *Selector(IdScale);
    for (LevelScale s : kScales) {
        const std::string_view text = LevelScaleText(s);
        scale.AddItem(QString::fromLatin1(text.data(), qsizetype(text.size())), int(s));
    }
    LevelScaleCaptions(scale);
    scale.SelectKey(int(kScales[0]), false);
    scale.SetWrap(true);
    for (int id : {IdWindow, IdScale})
        Selector(id)->SetLabelWidth(kWideLabel);
}

double CSpgPanel::Division(int trace) const
{
    return CGraphWnd::ParseWithPrefix(Selector(trace == 0 ? IdYDiv1 : IdYDiv2)->CurrentText());
}

double CSpgPanel::Offset(int trace) const { return NumericOrZero(*Selector(trace == 0 ? IdOff1 : IdOff2)); }

WindowType CSpgPanel::AnalysisWindow() const { return WindowType(Selector(IdWindow)->CurrentKey()); }

LevelScale CSpgPanel::Scale() const { return LevelScale(Selector(IdScale)->CurrentKey()); }

double CSpgPanel::FrequencyPerDivision() const
{
    return CGraphWnd::ParseWithPrefix(Selector(IdXDiv)->CurrentText());
}

double CSpgPanel::XOffset() const { return NumericOrZero(*Selector(IdXPos)); }
