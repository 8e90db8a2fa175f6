// The five channel setup dialogs on their own: columns, grey cells, layout,
// sample rates, row marking, editing marked rows together and the pulse
// settings of an rpm input. The dialogs are shown without a modal loop and
// driven with mouse, wheel and keys.
#include "setupdialogdriver.h"

#include "acquisition/channelsetupdlg.h"
#include "acquisition/hwchansetup.h"
#include "acquisition/rpmdlg.h"
#include "context/appcontext.h"
#include "platform/dialogtemplate.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"
#include "widgets/gridctrl.h"
#include "widgets/selectorbutton.h"

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <memory>

using namespace SetupDialogDriver;

namespace {

QStringList Titles(const CChannelSetupDlg& dialog)
{
    QStringList titles;
    for (const SetupColumn& column : dialog.Layout().columns)
        titles << QString::fromUtf8(column.title);
    return titles;
}

class SetupDialogTest : public ::testing::Test {
protected:
    SetupDialogTest() { ResetContext(); }

    // The model's dialog on fresh records, shown.
    CChannelSetupDlg& Open(const char* model, int rate = 10000)
    {
        m_dialog = CChannelSetupDlg::ForModel(QString::fromLatin1(model), nullptr, rate, m_records);
        EXPECT_NE(m_dialog, nullptr);
        m_dialog->show();
        QApplication::processEvents();
        return *m_dialog;
    }
    int Col(SetupField field) const { return m_dialog->ColumnOf(field); }
    std::vector<int> Marked() const
    {
        std::vector<int> rows;
        for (int row = 0; row < 24; ++row) {
            if (m_records[row].selected)
                rows.push_back(row);
        }
        return rows;
    }

    HwChanSetup m_records[24];
    std::unique_ptr<CChannelSetupDlg> m_dialog;
    DialogRecorder m_dialogs;
};

} // namespace

TEST_F(SetupDialogTest, EachModelHasItsTitleColumnsRowsAndAcceptText)
{
    const QStringList text{"Unit", "Phys", "at V", "Phys at 0V", "Name"};
    const struct {
        const char* model;
        const char* title;
        int rows;
        const char* accept;
        QStringList columns;
        std::vector<int> widths;
        const char* fastest;
    } cases[] = {
        {"Halvek", "", 24, "Apply + Start", QStringList{"Chan", "On/Off", "Range", "Input", "Coupl."} + text,
         {40, 40, 50, 60, 50, 40, 40, 40, 60, 160}, "50 kHz"},
        {"HalvekDC", "HalvekDC", 24, "OK", QStringList{"Chan", "On/Off", "Range"} + text,
         {40, 40, 50, 40, 40, 40, 60, 160}, "50 kHz"},
        {"Halvek+", "Halvek PLus", 24, "OK",
         QStringList{"Chan", "On/Off", "Range", "Input", "Coupl.", "Filter"} + text,
         {40, 40, 50, 60, 50, 60, 40, 40, 40, 60, 160}, "50 kHz"},
        {"Morsil", "Morsil", 6, "Apply + Start",
         QStringList{"Chan", "On/Off", "Range", "Input", "Coupl.", "Filter"} + text,
         {40, 40, 50, 60, 50, 60, 40, 40, 40, 60, 160}, "200 kHz"},
        {"Pendra", "Pendra", 6, "OK",
         QStringList{"Chan", "On/Off", "Range", "Input", "Coupl.", "Filter", "Power", "Polarity"} + text,
         {40, 40, 50, 60, 50, 60, 60, 60, 40, 40, 40, 60, 160}, "200 kHz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        CChannelSetupDlg& dialog = Open(c.model);
        EXPECT_EQ(dialog.windowTitle(), c.title);
        EXPECT_EQ(Titles(dialog), c.columns);
        EXPECT_EQ(dialog.Grid()->ColumnWidths(), c.widths);
        EXPECT_EQ(ControlAs<QPushButton>(&dialog, IDOK)->text(), c.accept);
        EXPECT_EQ(ControlAs<QPushButton>(&dialog, IDCANCEL)->text(), "Cancel");
        EXPECT_EQ(dialog.Grid()->Layout().rowCount, c.rows);
        EXPECT_EQ(dialog.CellText(0, c.rows - 1), QString::number(c.rows));
        EXPECT_EQ(dialog.RateSelector()->Items().last(), c.fastest);
        EXPECT_EQ(dialog.RateSelector()->Items().first(), "0.5 kHz");
        EXPECT_EQ(ControlId(dialog.Grid()), CChannelSetupDlg::kGridId);
    }
}

TEST_F(SetupDialogTest, GreyCellsAndListsFollowTheChannels)
{
    CChannelSetupDlg& halvek = Open("Halvek");
    EXPECT_TRUE(halvek.IsGrey(Col(SetupField::Input), 0));
    EXPECT_TRUE(halvek.IsGrey(Col(SetupField::Input), 22));
    EXPECT_EQ(halvek.CellText(Col(SetupField::Input), 23), "Analog");
    EXPECT_EQ(halvek.CellText(Col(SetupField::Range), 0), "10mV");
    EXPECT_EQ(halvek.CellText(Col(SetupField::Cpl), 0), "AC");
    EXPECT_EQ(halvek.CellText(Col(SetupField::On), 0), "Off");
    // A grey cell does not react.
    Click(halvek, Col(SetupField::Input), 3);
    EXPECT_FALSE(halvek.Grid()->IsEditing());

    m_records[2].Cpl = 2;
    m_records[9].Cpl = 1;
    CChannelSetupDlg& plus = Open("Halvek+");
    const int input = Col(SetupField::Input);
    const int filter = Col(SetupField::Filter);
    const int coupling = Col(SetupField::Cpl);
    for (int row : {0, 3, 6, 23})
        EXPECT_TRUE(plus.IsGrey(input, row)) << row;
    EXPECT_FALSE(plus.IsGrey(input, 4));
    EXPECT_FALSE(plus.IsGrey(input, 5));
    EXPECT_FALSE(plus.IsGrey(filter, 5));
    EXPECT_TRUE(plus.IsGrey(filter, 6));
    EXPECT_EQ(plus.CellText(coupling, 2), "ICP"); // DC, AC, ICP on channels 0-5
    EXPECT_EQ(plus.CellText(coupling, 9), "ICP"); // AC, ICP beyond
    Click(plus, coupling, 9);
    ASSERT_NE(plus.Grid()->ListEditor(), nullptr);
    EXPECT_EQ(plus.Grid()->ListEditor()->count(), 2);
    Click(plus, coupling, 1);
    EXPECT_EQ(plus.Grid()->ListEditor()->count(), 3);

    CChannelSetupDlg& pendra = Open("Pendra");
    m_records[0].Range = 10;
    m_records[1].MicPwr = 1;
    m_records[1].MicPolVolt = 1;
    EXPECT_EQ(pendra.CellText(Col(SetupField::Range), 0), "14V");
    EXPECT_EQ(pendra.CellText(Col(SetupField::MicPwr), 1), "+-60V");
    EXPECT_EQ(pendra.CellText(Col(SetupField::MicPolVolt), 1), "200V");
    EXPECT_FALSE(pendra.IsGrey(Col(SetupField::Filter), 3));
    EXPECT_TRUE(pendra.IsGrey(Col(SetupField::Filter), 4)); // no high-pass there
    for (int row = 0; row < 6; ++row)
        EXPECT_FALSE(pendra.IsGrey(Col(SetupField::Input), row));
}

TEST_F(SetupDialogTest, LayoutFollowsTheGrid)
{
    for (const char* model : {"Halvek", "Morsil", "Pendra"}) {
        SCOPED_TRACE(model);
        CChannelSetupDlg& dialog = Open(model);
        const QRect grid = dialog.Grid()->geometry();
        const int rows = dialog.Layout().rows;
        EXPECT_EQ(grid.width(), dialog.Grid()->TotalWidth() + 2);
        EXPECT_EQ(grid.height(), (rows + 1) * 18 + 2);
        EXPECT_EQ(dialog.width(), grid.width() + 8);
        EXPECT_EQ(dialog.height(), grid.height() + 100);
        const QRect rate = dialog.RateSelector()->geometry();
        EXPECT_EQ(rate.size(), QSize(128, 16));
        EXPECT_EQ(rate.y(), grid.bottom() + 1 + 20);
        EXPECT_LE(std::abs(rate.center().x() - dialog.width() / 2), 1);
        const QRect accept = ControlById(&dialog, IDOK)->geometry();
        const QRect cancel = ControlById(&dialog, IDCANCEL)->geometry();
        EXPECT_EQ(accept.topLeft(), QPoint(4, grid.bottom() + 1 + 30));
        EXPECT_EQ(cancel.topLeft(), QPoint(dialog.width() - 100, grid.bottom() + 1 + 30));
        EXPECT_FALSE(dialog.Grid()->VerticalBar()->isVisible());
        EXPECT_FALSE(dialog.Grid()->HorizontalBar()->isVisible());
    }
}

TEST_F(SetupDialogTest, SampleRateIsPreselectedAndAnUnlistedRateKept)
{
    EXPECT_EQ(Open("Halvek", 1000).RateSelector()->CurrentText(), "1 kHz");
    EXPECT_EQ(Open("Halvek", 2000).RateSelector()->CurrentText(), "2 kHz");
    EXPECT_EQ(Open("Morsil", 200000).SampleRateChoice(), 200000);
    CChannelSetupDlg& odd = Open("Halvek", 12800);
    EXPECT_EQ(odd.RateSelector()->CurrentText(), "12.8 kHz");
    EXPECT_EQ(odd.SampleRateChoice(), 12800);
    const QStringList items = odd.RateSelector()->Items();
    EXPECT_EQ(items.indexOf("12.8 kHz"), items.indexOf("11.025 kHz") + 1);
    // The wheel on the selector moves on to the next listed rate.
    QWheelEvent wheel(QPointF(60, 8), QPointF(60, 8), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(odd.RateSelector(), &wheel);
    EXPECT_EQ(odd.SampleRateChoice(), 20000);
}

TEST_F(SetupDialogTest, ChanClicksMarkRowsWithShiftCtrlAndTheAnchor)
{
    CChannelSetupDlg& dialog = Open("Halvek");
    Click(dialog, 0, 4, Qt::ShiftModifier);
    EXPECT_TRUE(Marked().empty()); // no anchor yet
    EXPECT_EQ(dialog.Anchor(), -1);

    Click(dialog, 0, 2);
    EXPECT_EQ(Marked(), std::vector<int>{2});
    EXPECT_EQ(dialog.Anchor(), 2);
    Click(dialog, 0, 5, Qt::ShiftModifier);
    EXPECT_EQ(Marked(), (std::vector<int>{2, 3, 4, 5}));
    Click(dialog, 0, 0, Qt::ShiftModifier); // the other way from the anchor
    EXPECT_EQ(Marked(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    Click(dialog, 0, 9, Qt::ControlModifier);
    EXPECT_EQ(Marked(), (std::vector<int>{0, 1, 2, 3, 4, 5, 9}));
    EXPECT_EQ(dialog.Anchor(), 2);

    // A plain click on an unmarked row starts again; on a marked one clears.
    Click(dialog, 0, 7);
    EXPECT_EQ(Marked(), std::vector<int>{7});
    Click(dialog, 0, 7);
    EXPECT_TRUE(Marked().empty());
    EXPECT_EQ(dialog.Anchor(), -1);
    Click(dialog, 0, 10, Qt::ShiftModifier);
    EXPECT_TRUE(Marked().empty());

    // Marked rows are drawn highlighted in "Chan".
    Click(dialog, 0, 1);
    const QImage image = dialog.Grid()->grab().toImage();
    const QRect marked = dialog.Grid()->CellRect(0, 1);
    const QRect plain = dialog.Grid()->CellRect(0, 2);
    EXPECT_NE(image.pixel(marked.topLeft() + QPoint(3, 3)), image.pixel(plain.topLeft() + QPoint(3, 3)));
}

TEST_F(SetupDialogTest, AnEditOfAMarkedRowGoesToEveryMarkedRow)
{
    CChannelSetupDlg& dialog = Open("Halvek");
    Click(dialog, 0, 1);
    Click(dialog, 0, 3, Qt::ShiftModifier);
    ASSERT_EQ(Marked(), (std::vector<int>{1, 2, 3}));

    Choose(dialog, Col(SetupField::Range), 2, "1V");
    for (int row : {1, 2, 3})
        EXPECT_EQ(m_records[row].Range, 6) << row;
    EXPECT_EQ(m_records[0].Range, 0);
    EXPECT_EQ(m_records[4].Range, 0);

    Click(dialog, Col(SetupField::On), 3);
    for (int row : {1, 2, 3})
        EXPECT_TRUE(m_records[row].On) << row;
    EXPECT_FALSE(m_records[4].On);
    // A wheel step toggles its own row only.
    Wheel(dialog, Col(SetupField::On), 2, true);
    EXPECT_FALSE(m_records[2].On);
    EXPECT_TRUE(m_records[1].On);

    Choose(dialog, Col(SetupField::Cpl), 1, "ICP");
    EXPECT_EQ(m_records[3].Cpl, 1);

    Type(dialog, Col(SetupField::Unit), 2, "Pa");
    Type(dialog, Col(SetupField::A), 2, "94");
    Type(dialog, Col(SetupField::AtV), 1, "0.05");
    Type(dialog, Col(SetupField::B), 3, "-1.5");
    Type(dialog, Col(SetupField::Name), 3, "Mic");
    for (int row : {1, 2, 3}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(m_records[row].Unit, "Pa");
        EXPECT_EQ(m_records[row].a, "94");
        EXPECT_EQ(m_records[row].atV, "0.05");
        EXPECT_EQ(m_records[row].b, "-1.5");
    }
    EXPECT_EQ(m_records[3].Name, "Mic");
    EXPECT_TRUE(m_records[2].Name.isEmpty()); // names stay per channel
    EXPECT_EQ(m_records[0].Unit, "V");

    // An empty unit is "V", on every marked row.
    Type(dialog, Col(SetupField::Unit), 1, QString());
    for (int row : {1, 2, 3})
        EXPECT_EQ(m_records[row].Unit, "V") << row;

    // An unmarked row is edited alone.
    Choose(dialog, Col(SetupField::Range), 7, "5V");
    EXPECT_EQ(m_records[7].Range, 8);
    EXPECT_EQ(m_records[1].Range, 6);
}

TEST_F(SetupDialogTest, MarkedRowsTakeAnEntryOnlyWhereTheirListHasIt)
{
    // Halvek+ couplings: DC, AC, ICP on 0-5, AC, ICP beyond; the filter
    // exists on 0-5 only.
    CChannelSetupDlg& dialog = Open("Halvek+");
    Click(dialog, 0, 4);
    Click(dialog, 0, 7, Qt::ShiftModifier);
    Choose(dialog, Col(SetupField::Cpl), 4, "ICP");
    EXPECT_EQ(m_records[4].Cpl, 2);
    EXPECT_EQ(m_records[5].Cpl, 2);
    EXPECT_EQ(m_records[6].Cpl, 1); // ICP is entry 1 there
    Choose(dialog, Col(SetupField::Cpl), 6, "AC");
    EXPECT_EQ(m_records[4].Cpl, 1);
    Choose(dialog, Col(SetupField::Filter), 5, "LP 1kHz");
    EXPECT_EQ(m_records[4].Filter, 3);
    EXPECT_EQ(m_records[6].Filter, 0);
    // Input is never copied.
    m_dialogs.QueueHandler([](QDialog& rpm) { rpm.reject(); });
    Choose(dialog, Col(SetupField::Input), 4, "RPM");
    EXPECT_EQ(m_records[4].Input, 1);
    EXPECT_EQ(m_records[5].Input, 0);
}

TEST_F(SetupDialogTest, RangeWheelStopsAtTheEnds)
{
    CChannelSetupDlg& halvek = Open("Halvek");
    const int range = Col(SetupField::Range);
    m_records[0].Range = 9;
    Wheel(halvek, range, 0, true);
    EXPECT_EQ(halvek.CellText(range, 0), "10V");
    Wheel(halvek, range, 0, false);
    EXPECT_EQ(halvek.CellText(range, 0), "5V");
    Wheel(halvek, range, 1, false);
    EXPECT_EQ(halvek.CellText(range, 1), "10mV");
    Wheel(halvek, range, 1, true);
    EXPECT_EQ(halvek.CellText(range, 1), "20mV");
    // Coupling toggles.
    Wheel(halvek, Col(SetupField::Cpl), 1, true);
    EXPECT_EQ(m_records[1].Cpl, 1);
    Wheel(halvek, Col(SetupField::Cpl), 1, true);
    EXPECT_EQ(m_records[1].Cpl, 0);

    CChannelSetupDlg& pendra = Open("Pendra");
    m_records[2].Range = 9;
    Wheel(pendra, range, 2, true);
    EXPECT_EQ(pendra.CellText(range, 2), "14V");
    Wheel(pendra, range, 2, true);
    EXPECT_EQ(pendra.CellText(range, 2), "14V");
}

TEST_F(SetupDialogTest, RpmOpensThePulseSettingsAcceptedOrCancelled)
{
    m_records[23].percentText = "50%";
    m_records[23].usecText = "30usec";
    m_records[23].Teeth = 60;
    m_records[23].CntAcr = 2;
    CChannelSetupDlg& dialog = Open("Halvek");
    const int input = Col(SetupField::Input);

    // Cancelled: RPM stays chosen, the pulse values stay.
    m_dialogs.QueueHandler([](QDialog& rpm) {
        auto& settings = dynamic_cast<CRpmDlg&>(rpm);
        EXPECT_EQ(settings.windowTitle(), "Setting for RPM");
        EXPECT_EQ(settings.Selector(CRpmDlg::kLevelId)->CurrentText(), "50%");
        EXPECT_EQ(settings.Selector(CRpmDlg::kHoldOffId)->CurrentText(), "30usec");
        EXPECT_EQ(settings.Selector(CRpmDlg::kTeethId)->NumericValue(), 60);
        EXPECT_EQ(settings.Selector(CRpmDlg::kEdgesId)->NumericValue(), 2);
        QTest::mouseClick(ControlAs<QPushButton>(&rpm, IDCANCEL), Qt::LeftButton);
    });
    Choose(dialog, input, 23, "RPM");
    ASSERT_EQ(m_dialogs.Runs().size(), 1u);
    EXPECT_EQ(m_dialogs.Runs()[0].result, QDialog::Rejected);
    EXPECT_EQ(m_records[23].Input, 1);
    EXPECT_EQ(m_records[23].usecText, "30usec");
    EXPECT_EQ(m_records[23].Teeth, 60);

    // Accepted after a wheel step on each selector: written back.
    m_dialogs.QueueHandler([](QDialog& rpm) {
        auto& settings = dynamic_cast<CRpmDlg&>(rpm);
        for (int id : {CRpmDlg::kLevelId, CRpmDlg::kHoldOffId, CRpmDlg::kTeethId, CRpmDlg::kEdgesId}) {
            QWheelEvent wheel(QPointF(60, 8), QPointF(60, 8), QPoint(), QPoint(0, 120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(settings.Selector(id), &wheel);
        }
        QTest::mouseClick(ControlAs<QPushButton>(&rpm, IDOK), Qt::LeftButton);
    });
    // A wheel step is a choice too: Analog, then RPM again.
    Wheel(dialog, input, 23, true);
    EXPECT_EQ(m_records[23].Input, 0);
    Wheel(dialog, input, 23, true);
    ASSERT_EQ(m_dialogs.Runs().size(), 2u);
    EXPECT_EQ(m_dialogs.Runs()[1].result, QDialog::Accepted);
    EXPECT_EQ(m_records[23].Input, 1);
    EXPECT_EQ(m_records[23].percentText, "55%");
    EXPECT_EQ(m_records[23].usecText, "40usec");
    EXPECT_EQ(m_records[23].Teeth, 61);
    EXPECT_EQ(m_records[23].CntAcr, 3);

    // A list that closes on RPM without a choice opens nothing.
    Click(dialog, input, 23);
    Click(dialog, 0, 0);
    EXPECT_EQ(m_dialogs.Runs().size(), 2u);
}

TEST_F(SetupDialogTest, AcceptEndsATextEditAndCancelKeepsTheEdits)
{
    CChannelSetupDlg& dialog = Open("Morsil");
    Click(dialog, Col(SetupField::Name), 2);
    QTest::keyClicks(dialog.Grid()->TextEditor(), "Shaft");
    Accept(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_records[2].Name, "Shaft");

    CChannelSetupDlg& second = Open("Morsil");
    Click(second, Col(SetupField::On), 0);
    QTest::mouseClick(ControlAs<QPushButton>(&second, IDCANCEL), Qt::LeftButton);
    EXPECT_EQ(second.result(), QDialog::Rejected);
    EXPECT_TRUE(m_records[0].On); // records are edited in place
}

TEST(RpmDialog, TemplateListsAndAnUnknownHoldOff)
{
    ResetContext();
    CRpmDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Setting for RPM");
    EXPECT_EQ(dialog.size(), DialogSizeToPixels(235, 123));
    CSelectorButton* level = dialog.Selector(CRpmDlg::kLevelId);
    CSelectorButton* holdOff = dialog.Selector(CRpmDlg::kHoldOffId);
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->text(), "Tlvl");
    EXPECT_EQ(level->Count(), 21);
    EXPECT_EQ(level->Items().last(), "100%");
    EXPECT_EQ(holdOff->Count(), 11);
    EXPECT_EQ(holdOff->Items()[1], "10usec");
    EXPECT_EQ(dialog.Selector(CRpmDlg::kEdgesId)->geometry(), DialogUnitsToPixels(28, 73, 71, 14));

    dialog.SetValues("35%", "25usec", 4, 1);
    EXPECT_EQ(level->CurrentText(), "35%");
    EXPECT_EQ(holdOff->CurrentText(), "0usec");
    dialog.open();
    // The numeric selectors never give fewer than one tooth or edge.
    for (int id : {CRpmDlg::kTeethId, CRpmDlg::kEdgesId}) {
        for (int step = 0; step < 6; ++step) {
            QWheelEvent wheel(QPointF(60, 8), QPointF(60, 8), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(dialog.Selector(id), &wheel);
        }
    }
    QTest::mouseClick(ControlAs<QPushButton>(&dialog, IDOK), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.LevelText(), "35%");
    EXPECT_EQ(dialog.HoldOffText(), "0usec");
    EXPECT_EQ(dialog.Teeth(), 1);
    EXPECT_EQ(dialog.EdgesPerPeriod(), 1);
}
