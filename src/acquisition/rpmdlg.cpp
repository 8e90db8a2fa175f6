#include "rpmdlg.h"

#include "platform/dialogtemplate.h"
#include "platform/messagebox.h"
#include "widgets/selectorbutton.h"
#include "widgets/widgetcontrols.h"

#include <algorithm>
#include <cmath>

namespace {
const DialogControl kTemplate[] = {
    {CRpmDlg::kLevelId, ControlKind::Selector, "Tlvl", 27, 14, 71, 14},
    {CRpmDlg::kHoldOffId, ControlKind::Selector, "Hld", 27, 34, 71, 14},
    {CRpmDlg::kTeethId, ControlKind::Selector, "Tht", 27, 52, 71, 14},
    {CRpmDlg::kEdgesId, ControlKind::Selector, "Acr", 28, 73, 71, 14},
    {IDOK, ControlKind::DefaultButton, "OK", 178, 7, 50, 14},
    {IDCANCEL, ControlKind::Button, "Cancel", 178, 24, 50, 14},
};
constexpr int kLevelSteps = 21;  // 0 % ... 100 % in steps of 5
constexpr int kHoldOffSteps = 11; // 0 ... 100 microseconds in steps of 10

// A whole number of at least 1 from a selector's value: a period of no
// edges, or a wheel of no teeth, would never measure anything.
int AtLeastOne(double value) { return std::max(1, static_cast<int>(std::trunc(value))); }
} // namespace

CRpmDlg::CRpmDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Setting for RPM"));
    setObjectName(QStringLiteral("dialog%1").arg(kTemplateId));
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    BuildDialog(this, kTemplate, CreateWidgetControl);
    setFixedSize(DialogSizeToPixels(235, 123));
    for (int i = 0; i < kLevelSteps; ++i)
        Selector(kLevelId)->AddItem(QString::asprintf("%d%%", 5 * i), -1);
    for (int i = 0; i < kHoldOffSteps; ++i)
        Selector(kHoldOffId)->AddItem(QString::asprintf("%dusec", 10 * i), -1);
    SetValues(QString(), QString(), 1, 1);
}

CSelectorButton* CRpmDlg::Selector(int id) const
{
    return ControlAs<CSelectorButton>(const_cast<CRpmDlg*>(this), id);
}

void CRpmDlg::SetValues(const QString& levelText, const QString& holdOffText, int teeth, int edgesPerPeriod)
{
    m_levelText = levelText;
    m_holdOffText = holdOffText;
    m_teeth = teeth;
    m_edges = edgesPerPeriod;
    Selector(kLevelId)->SelectText(levelText);
    Selector(kHoldOffId)->SelectText(holdOffText);
    Selector(kTeethId)->SetNumeric(1, teeth);
    Selector(kEdgesId)->SetNumeric(1, edgesPerPeriod);
}

void CRpmDlg::accept()
{
    m_levelText = Selector(kLevelId)->CurrentText();
    m_holdOffText = Selector(kHoldOffId)->CurrentText();
    m_teeth = AtLeastOne(Selector(kTeethId)->NumericValue());
    m_edges = AtLeastOne(Selector(kEdgesId)->NumericValue());
    QDialog::accept();
}
