#pragma once
// The channel setup dialog of a recorder module: the sample rate and a
// table with one row per module channel (on/off, range, input, coupling,
// filter, microphone supply, unit, physical scaling, name), whose columns
// come from the model's SetupDialogLayout. It edits the module's setup
// records in place; the module applies them when the dialog is accepted.
//
// Rows are marked by clicks in "Chan" (Ctrl adds a row, Shift adds the run
// from the anchor, the row of the last plain click); an edit of a marked
// row goes to every marked row, except for "Input" and "Name". Choosing
// "RPM" as input opens the pulse settings of the channel. UI thread only.

#include "acquisition/setupdialoglayout.h"

#include <QDialog>
#include <memory>
#include <span>

class CGridCtrl;
class CSelectorButton;
struct GridNotify;
struct HwChanSetup;

class CChannelSetupDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kGridId = 2024;
    static constexpr int kRateId = 1020;
    // The private message the grid notifies the dialog with.
    static constexpr int kGridMessage = 120;
    static constexpr int kSelectorWidth = 128;
    static constexpr int kSelectorHeight = 16;

    // records: the module's records, at least layout.rows of them.
    CChannelSetupDlg(const SetupDialogLayout& layout, QWidget* parent, int sampleRate,
                     std::span<HwChanSetup> records);
    // The dialog of a module type; null for a type without one.
    static std::unique_ptr<CChannelSetupDlg> ForModel(const QString& typeName, QWidget* parent, int sampleRate,
                                                      std::span<HwChanSetup> records);

    // The chosen sample rate; -1 when nothing is selected.
    int SampleRateChoice() const;
    void SelectSampleRate(int rate);
    std::span<HwChanSetup> Records() const { return m_records; }
    const SetupDialogLayout& Layout() const { return m_layout; }
    int ColumnOf(SetupField field) const { return m_layout.ColumnOf(field); }
    int Anchor() const { return m_anchor; }
    CGridCtrl* Grid() const { return m_grid; }
    CSelectorButton* RateSelector() const { return m_rate; }

    // What a cell shows; empty for a grey cell.
    QString CellText(int column, int row) const;
    // A cell that does not apply to its row: drawn grey, no reaction.
    bool IsGrey(int column, int row) const;

    // Ends a text edit in progress, then accepts.
    void accept() override;

protected:
    bool event(QEvent* event) override;

private:
    void BuildLayout();
    void FillRates(int sampleRate);
    qintptr OnGridNotify(GridNotify& notify);
    void PaintCell(const GridNotify& notify);
    void OnCellSelected(int column, int row, Qt::KeyboardModifiers modifiers);
    void MarkRows(int row, Qt::KeyboardModifiers modifiers);
    void OnEditFinished(int column, int row, const QString& text, bool chosen);
    void OnWheel(int column, int row, bool up);
    // Sets the entry of a list cell; marked rows follow (not for "Input"),
    // "RPM" as a choice opens the pulse settings.
    void ChooseListEntry(int column, int row, int index, bool chosen);
    void SetText(int column, int row, QString text);
    void SetOn(int row, bool on, bool withMarked);
    void EditPulseSettings(int row);
    int RowCount() const;

    const SetupDialogLayout& m_layout;
    std::span<HwChanSetup> m_records;
    CGridCtrl* m_grid = nullptr;
    CSelectorButton* m_rate = nullptr;
    int m_anchor = -1;
};
