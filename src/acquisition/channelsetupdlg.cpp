#include "channelsetupdlg.h"

#include "acquisition/hwchansetup.h"
#include "acquisition/rpmdlg.h"
#include "context/appcontext.h"
#include "platform/appmessage.h"
#include "platform/dialogtemplate.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"
#include "widgets/gridctrl.h"
#include "widgets/gridnotify.h"
#include "widgets/selectorbutton.h"
#include "widgets/widgetcontrols.h"

#include <QPainter>
#include <QPushButton>
#include <algorithm>
#include <vector>

namespace {
constexpr int kPlaceholderId = 1019;

// The buttons and the selector are placed from the grid's size once the
// grid exists; the placeholder gives the grid its top-left corner.
const DialogControl kTemplate[] = {
    {kPlaceholderId, ControlKind::Frame, "", 3, 3, 380, 280},
    {CChannelSetupDlg::kRateId, ControlKind::Selector, "Rate", 130, 300, 85, 10},
    {IDOK, ControlKind::DefaultButton, "OK", 3, 300, 60, 14},
    {IDCANCEL, ControlKind::Button, "Cancel", 300, 300, 50, 14},
};

// Margins of the layout rules, pixels.
constexpr int kExtraWidth = 8;       // dialog width = grid width + 8
constexpr int kExtraHeight = 100;    // dialog height = grid height + 100
constexpr int kSelectorGap = 20;     // selector top below the grid
constexpr int kButtonGap = 30;       // button tops below the grid
constexpr int kAcceptLeft = 4;
constexpr int kCancelFromRight = 100;

struct RateChoice {
    const char* label;
    int rate;
};
constexpr RateChoice kRates[] = {
    {"0.5 kHz", 500},       {"1 kHz", 1000},   {"2 kHz", 2000},         {"5 kHz", 5000},
    {"10 kHz", 10000},      {"11.025 kHz", 11025}, {"20 kHz", 20000},   {"22.050 kHz", 22050},
    {"25 kHz", 25000},      {"44.100 kHz", 44100}, {"50 kHz", 50000},
};
constexpr RateChoice kFastRates[] = {{"100 kHz", 100000}, {"200 kHz", 200000}};

// Fills of the cells the dialog paints itself.
const QColor kGreyCell(212, 212, 212);
const QColor kMarkedRow(0, 0, 128);
const QColor kOnCell(160, 230, 160);
// The alignment flags of the columns: how the dialog draws the texts.
constexpr int kAlignCentre = 0;
constexpr int kAlignLeft = 1;

bool IsNumberField(SetupField field)
{
    return field == SetupField::A || field == SetupField::AtV || field == SetupField::B;
}
} // namespace

CChannelSetupDlg::CChannelSetupDlg(const SetupDialogLayout& layout, QWidget* parent, int sampleRate,
                                   std::span<HwChanSetup> records)
    : QDialog(parent), m_layout(layout),
      m_records(records.first(std::min<size_t>(records.size(), static_cast<size_t>(layout.rows))))
{
    setWindowTitle(QString::fromUtf8(layout.title));
    setObjectName(QStringLiteral("setup%1").arg(QString::fromLatin1(layout.typeName)));
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    BuildDialog(this, kTemplate, CreateWidgetControl);
    m_rate = ControlAs<CSelectorButton>(this, kRateId);
    ControlAs<QPushButton>(this, IDOK)->setText(QString::fromUtf8(layout.acceptText));
    BuildLayout();
    FillRates(sampleRate);
}

std::unique_ptr<CChannelSetupDlg> CChannelSetupDlg::ForModel(const QString& typeName, QWidget* parent,
                                                             int sampleRate, std::span<HwChanSetup> records)
{
    const SetupDialogLayout* layout = SetupDialogLayout::ForModel(typeName);
    if (!layout)
        return nullptr;
    return std::make_unique<CChannelSetupDlg>(*layout, parent, sampleRate, records);
}

void CChannelSetupDlg::BuildLayout()
{
    const QColor listHeader = Ctx().colours.setupButtons;
    m_grid = new CGridCtrl(this);
    SetControlId(m_grid, kGridId);
    m_grid->setWindowTitle(QStringLiteral("Auto"));
    for (const SetupColumn& column : m_layout.columns) {
        const int alignment = column.field == SetupField::Name ? kAlignLeft : kAlignCentre;
        const int index = m_grid->AddColumn(QString::fromUtf8(column.title), column.width, alignment, Qt::white);
        if (column.IsList() || column.field == SetupField::On)
            m_grid->SetColumnHeaderColour(index, listHeader);
    }
    m_grid->SetOwner(this, kGridMessage);
    const QRect placeholder = ControlById(this, kPlaceholderId)->geometry();
    m_grid->move(placeholder.topLeft());
    m_grid->SetStyle(CGridCtrl::AutoWidth | CGridCtrl::AutoHeight | CGridCtrl::NoVerticalScroll,
                     placeholder.size());

    const QRect grid = m_grid->geometry();
    const int width = grid.width() + kExtraWidth;
    setFixedSize(width, grid.height() + kExtraHeight);
    const int below = grid.y() + grid.height();
    m_rate->setGeometry((width - kSelectorWidth) / 2, below + kSelectorGap, kSelectorWidth, kSelectorHeight);
    QWidget* accept = ControlById(this, IDOK);
    accept->move(kAcceptLeft, below + kButtonGap);
    ControlById(this, IDCANCEL)->move(width - kCancelFromRight, below + kButtonGap);
}

void CChannelSetupDlg::FillRates(int sampleRate)
{
    std::vector<std::pair<QString, int>> choices;
    for (const RateChoice& choice : kRates)
        choices.emplace_back(QString::fromLatin1(choice.label), choice.rate);
    if (m_layout.fastRates) {
        for (const RateChoice& choice : kFastRates)
            choices.emplace_back(QString::fromLatin1(choice.label), choice.rate);
    }
    // A module rate that is none of the choices is shown as it is, in its
    // place, so that accepting keeps it.
    const bool listed = std::any_of(choices.begin(), choices.end(),
                                    [sampleRate](const auto& choice) { return choice.second == sampleRate; });
    if (!listed && sampleRate > 0) {
        const auto place = std::find_if(choices.begin(), choices.end(),
                                        [sampleRate](const auto& choice) { return choice.second > sampleRate; });
        choices.emplace(place, QStringLiteral("%1 kHz").arg(sampleRate / 1000.0, 0, 'g', 7), sampleRate);
    }
    for (const auto& [label, rate] : choices)
        m_rate->AddItem(label, rate);
    m_rate->SelectKey(sampleRate, false);
}

int CChannelSetupDlg::SampleRateChoice() const { return m_rate->CurrentKey(); }

void CChannelSetupDlg::SelectSampleRate(int rate) { m_rate->SelectKey(rate, false); }

int CChannelSetupDlg::RowCount() const { return static_cast<int>(m_records.size()); }

void CChannelSetupDlg::accept()
{
    m_grid->EndEdit();
    QDialog::accept();
}

// ---- cells ------------------------------------------------------------------------

bool CChannelSetupDlg::IsGrey(int column, int row) const
{
    if (column < 0 || column >= int(m_layout.columns.size()))
        return true;
    const SetupColumn& setup = m_layout.columns[column];
    return setup.IsList() && !setup.ItemsOfRow(row);
}

QString CChannelSetupDlg::CellText(int column, int row) const
{
    if (row < 0 || row >= RowCount() || IsGrey(column, row))
        return QString();
    const SetupColumn& setup = m_layout.columns[column];
    HwChanSetup& record = m_records[row];
    switch (setup.field) {
    case SetupField::Chan: return QString::number(row + 1);
    case SetupField::On: return record.On ? QStringLiteral("On") : QStringLiteral("Off");
    default: break;
    }
    if (const int* value = SetupColumn::IntField(record, setup.field)) {
        const QStringList items = CGridCtrl::SplitItems(QString::fromUtf8(setup.ItemsOfRow(row)));
        return *value >= 0 && *value < items.size() ? items[*value] : QString();
    }
    const QString* text = SetupColumn::TextField(record, setup.field);
    return text ? *text : QString();
}

// ---- grid notifications -------------------------------------------------------------

bool CChannelSetupDlg::event(QEvent* event)
{
    if (AppMessage::NumberOf(event) == kGridMessage) {
        auto* message = static_cast<AppMessage*>(event);
        message->SetResult(OnGridNotify(*reinterpret_cast<GridNotify*>(message->WParam())));
        return true;
    }
    return QDialog::event(event);
}

qintptr CChannelSetupDlg::OnGridNotify(GridNotify& notify)
{
    switch (notify.kind) {
    case GridNotify::RowCount: return RowCount();
    case GridNotify::Paint: PaintCell(notify); break;
    case GridNotify::Selected: OnCellSelected(notify.column, notify.row, notify.modifiers); break;
    case GridNotify::EditFinished: OnEditFinished(notify.column, notify.row, notify.text, notify.chosen); break;
    case GridNotify::Wheel: OnWheel(notify.column, notify.row, notify.up); break;
    default: break;
    }
    return 0;
}

void CChannelSetupDlg::PaintCell(const GridNotify& notify)
{
    QPainter& painter = *notify.painter;
    const QRect inner(notify.left, notify.top, notify.right - notify.left, notify.bottom - notify.top);
    if (notify.row < 0 || notify.row >= RowCount())
        return;
    if (IsGrey(notify.column, notify.row)) {
        painter.fillRect(inner, kGreyCell);
        return;
    }
    const SetupField field = m_layout.columns[notify.column].field;
    QColor text = Qt::black;
    if (field == SetupField::Chan && m_records[notify.row].selected) {
        painter.fillRect(inner, kMarkedRow);
        text = Qt::white;
    } else if (field == SetupField::On && m_records[notify.row].On) {
        painter.fillRect(inner, kOnCell);
    }
    painter.setPen(text);
    const bool left = m_grid->ColumnAlignment(notify.column) == kAlignLeft;
    painter.drawText(inner.adjusted(left ? 2 : 0, 0, 0, 0),
                     (left ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter | Qt::TextSingleLine,
                     CellText(notify.column, notify.row));
}

void CChannelSetupDlg::OnCellSelected(int column, int row, Qt::KeyboardModifiers modifiers)
{
    if (row < 0 || row >= RowCount() || IsGrey(column, row))
        return;
    const SetupColumn& setup = m_layout.columns[column];
    switch (setup.field) {
    case SetupField::Chan: MarkRows(row, modifiers); return;
    case SetupField::On: SetOn(row, !m_records[row].On, true); return;
    default: break;
    }
    if (setup.IsList()) {
        m_grid->ComboCell(column, row, CellText(column, row), QString::fromUtf8(setup.ItemsOfRow(row)));
    } else if (const QString* text = SetupColumn::TextField(m_records[row], setup.field)) {
        m_grid->EditCell(column, row, *text, IsNumberField(setup.field));
    }
}

void CChannelSetupDlg::MarkRows(int row, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ShiftModifier) {
        // A run needs its start: without an anchor nothing is marked.
        if (m_anchor >= 0) {
            for (int r = std::min(m_anchor, row); r <= std::max(m_anchor, row); ++r)
                m_records[r].selected = true;
        }
    } else if (modifiers & Qt::ControlModifier) {
        m_records[row].selected = true;
    } else if (m_records[row].selected) {
        for (HwChanSetup& record : m_records)
            record.selected = false;
        m_anchor = -1;
    } else {
        for (HwChanSetup& record : m_records)
            record.selected = false;
        m_records[row].selected = true;
        m_anchor = row;
    }
    m_grid->update();
}

void CChannelSetupDlg::SetOn(int row, bool on, bool withMarked)
{
    m_records[row].On = on;
    if (withMarked && m_records[row].selected) {
        for (HwChanSetup& record : m_records) {
            if (record.selected)
                record.On = on;
        }
    }
    m_grid->update();
}

void CChannelSetupDlg::OnEditFinished(int column, int row, const QString& text, bool chosen)
{
    if (row < 0 || row >= RowCount() || IsGrey(column, row))
        return;
    const SetupColumn& setup = m_layout.columns[column];
    if (setup.IsList()) {
        const int index = int(CGridCtrl::SplitItems(QString::fromUtf8(setup.ItemsOfRow(row))).indexOf(text));
        if (index >= 0)
            ChooseListEntry(column, row, index, chosen);
    } else if (setup.IsText()) {
        SetText(column, row, text);
    }
}

void CChannelSetupDlg::ChooseListEntry(int column, int row, int index, bool chosen)
{
    const SetupColumn& setup = m_layout.columns[column];
    int* value = SetupColumn::IntField(m_records[row], setup.field);
    if (!value)
        return;
    const int previous = *value;
    *value = index;
    const QString text = CellText(column, row);
    // Marked rows take the same entry, by its text, where their list has it
    // (the Halvek+ couplings differ between channels).
    if (setup.field != SetupField::Input && m_records[row].selected) {
        for (int r = 0; r < RowCount(); ++r) {
            if (r == row || !m_records[r].selected || IsGrey(column, r))
                continue;
            const int entry =
                int(CGridCtrl::SplitItems(QString::fromUtf8(setup.ItemsOfRow(r))).indexOf(text));
            if (entry >= 0)
                *SetupColumn::IntField(m_records[r], setup.field) = entry;
        }
    }
    m_grid->update();
    // Only a choice opens the pulse settings, not a list that merely closed
    // on the entry it had.
    if (setup.field == SetupField::Input && text == QLatin1String("RPM") && (chosen || previous != index))
        EditPulseSettings(row);
}

void CChannelSetupDlg::SetText(int column, int row, QString text)
{
    const SetupField field = m_layout.columns[column].field;
    if (field == SetupField::Unit && text.isEmpty())
        text = QStringLiteral("V");
    *SetupColumn::TextField(m_records[row], field) = text;
    if (field != SetupField::Name && m_records[row].selected) {
        for (HwChanSetup& record : m_records) {
            if (record.selected)
                *SetupColumn::TextField(record, field) = text;
        }
    }
    m_grid->update();
}

void CChannelSetupDlg::OnWheel(int column, int row, bool up)
{
    if (row < 0 || row >= RowCount() || IsGrey(column, row))
        return;
    const SetupColumn& setup = m_layout.columns[column];
    if (setup.field == SetupField::On) {
        SetOn(row, !m_records[row].On, false);
        return;
    }
    const int* value = SetupColumn::IntField(m_records[row], setup.field);
    if (!setup.IsList() || !value)
        return;
    const int count = int(CGridCtrl::SplitItems(QString::fromUtf8(setup.ItemsOfRow(row))).size());
    int next = *value + (up ? 1 : -1);
    if (setup.wheelWraps)
        next = (next + count) % count;
    else
        next = std::clamp(next, 0, count - 1);
    if (next != *value)
        ChooseListEntry(column, row, next, true);
}

void CChannelSetupDlg::EditPulseSettings(int row)
{
    HwChanSetup& record = m_records[row];
    CRpmDlg dialog(this);
    dialog.SetValues(record.percentText, record.usecText, record.Teeth, record.CntAcr);
    if (RunModalDialog(dialog) != QDialog::Accepted)
        return;
    record.percentText = dialog.LevelText();
    record.usecText = dialog.HoldOffText();
    record.Teeth = dialog.Teeth();
    record.CntAcr = dialog.EdgesPerPeriod();
}
