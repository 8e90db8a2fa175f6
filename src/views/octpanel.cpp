#include "views/octpanel.h"

#include "views/graphwnd.h"
#include "widgets/selectorbutton.h"

#include <initializer_list>
#include <utility>

namespace {

// Template 134, 126 × 192 dialog units. Only the axis group is painted; the
// template's channel group (1, 2, 92, 17) is left out because it is never drawn.
constexpr DialogControl kTemplate[] = {
    {COctPanel::IdYDiv, ControlKind::Selector, "YDiv", 1, 4, 40, 11},
    {COctPanel::IdOffset, ControlKind::Selector, "Off", 48, 4, 40, 11},
    {CPanelDlg::GroupAxis, ControlKind::Frame, "", 0, 23, 92, 113},
    {COctPanel::IdLowFrq, ControlKind::Selector, "LowFrq", 3, 28, 86, 11},
    {COctPanel::IdHighFrq, ControlKind::Selector, "HighFrq", 3, 42, 86, 11},
    {COctPanel::IdBandwidth, ControlKind::Selector, "BW", 3, 62, 86, 11},
    {COctPanel::IdWeighting, ControlKind::Selector, "Wght", 3, 77, 86, 11},
    {COctPanel::IdTime, ControlKind::Selector, "Time", 3, 92, 86, 11},
    {COctPanel::IdDisplay, ControlKind::Selector, "Dspl", 3, 107, 86, 11},
    {COctPanel::IdOaspl, ControlKind::Selector, "OASPL", 3, 122, 86, 11},
};

// "Dspl" and "OASPL" notify nothing: the view reads them when it draws.
constexpr PanelNotification kNotifications[] = {
    {COctPanel::IdYDiv, PanelYDiv1},         {COctPanel::IdOffset, PanelOffset1},
    {COctPanel::IdLowFrq, PanelLowBand},     {COctPanel::IdHighFrq, PanelHighBand},
    {COctPanel::IdBandwidth, PanelBandwidth}, {COctPanel::IdWeighting, PanelWeighting},
    {COctPanel::IdTime, PanelTimeWeighting},
};

constexpr PanelSetting kWriteOrder[] = {
    {COctPanel::IdOffset, "YOff:"},    {COctPanel::IdYDiv, "YDiv:"},     {COctPanel::IdHighFrq, "FHigh:"},
    {COctPanel::IdOaspl, "Oaspl:"},    {COctPanel::IdDisplay, "Dspl:"},  {COctPanel::IdWeighting, "Wght:"},
    {COctPanel::IdTime, "time:"},      {COctPanel::IdLowFrq, "FLow:"},   {COctPanel::IdBandwidth, "Bw:"},
};

constexpr int kWideLabel = 48; // pixels, the label width of the lower selectors

void Fill(CSelectorButton* selector, std::initializer_list<std::pair<const char*, int>> items, const char* initial)
{
    for (const auto& [text, key] : items)
        selector->AddItem(QString::fromUtf8(text), key);
    selector->SelectText(QString::fromUtf8(initial));
    selector->SetWrap(false);
}

} // namespace

COctPanel::COctPanel(QWidget* view) : CPanelDlg(view) { Create(kTemplate, 126, 192); }

void COctPanel::OnInitDialog()
{
    SetNotifications(kNotifications);
    SetSettings(kWriteOrder);
    Fill(Selector(IdYDiv), {{"10", 10}, {"20", 20}}, "10");
    Selector(IdOffset)->SetNumeric(10.0, 0.0);
    Fill(Selector(IdLowFrq), {{"16", -1}, {"31", -1}, {"62", -1}, {"125", -1}, {"250", -1}, {"500", -1}, {"1000", -1}},
         "125");
    Fill(Selector(IdHighFrq),
         {{"1000", -1}, {"2000", -1}, {"4000", -1}, {"8000", -1}, {"16000", -1}, {"32000", -1}, {"64000", -1},
          {"128000", -1}},
         "16000");
    Fill(Selector(IdBandwidth),
         {{"1/1 Octave", 1}, {"1/3 Octave", 3}, {"1/6 Octave", 6}, {"1/12 Octave", 12}, {"1/24 Octave", 24}},
         "1/1 Octave");
    Fill(Selector(IdWeighting), {{"Linear", 0}, {"A Weight", 1}, {"B Weight", 2}, {"C Weight", 3}}, "A Weight");
    Fill(Selector(IdTime), {{"Slow", 0}, {"Fast", 1}, {"35ms", 2}}, "Slow");
    Fill(Selector(IdDisplay), {{"Line", 0}, {"Bar", 1}, {"Filled Bar", 2}}, "Filled Bar");
    Fill(Selector(IdOaspl), {{"Off", 0}, {"On", 1}}, "On");
    for (int id : {IdLowFrq, IdHighFrq, IdBandwidth, IdWeighting, IdTime, IdDisplay, IdOaspl})
        Selector(id)->SetLabelWidth(kWideLabel);
}

double COctPanel::YDiv() const { return Selector(IdYDiv)->CurrentKey(); }

double COctPanel::YOffset() const { return Selector(IdOffset)->NumericValue(); }

double COctPanel::LowHz() const { return CGraphWnd::ParseWithPrefix(Selector(IdLowFrq)->CurrentText()); }

double COctPanel::HighHz() const { return CGraphWnd::ParseWithPrefix(Selector(IdHighFrq)->CurrentText()); }

int COctPanel::BandsPerOctave() const { return Selector(IdBandwidth)->CurrentKey(); }

int COctPanel::Weighting() const { return Selector(IdWeighting)->CurrentKey(); }

double COctPanel::TimeConstant() const
{
    switch (Selector(IdTime)->CurrentKey()) {
    case 1:
        return 0.125;
    case 2:
        return 0.035;
    default:
        return 1.0;
    }
}

int COctPanel::DisplayStyle() const { return Selector(IdDisplay)->CurrentKey(); }

bool COctPanel::OasplOn() const { return Selector(IdOaspl)->CurrentKey() == 1; }

void COctPanel::RegridOffset() { Selector(IdOffset)->SetNumeric(YDiv(), YOffset()); }
