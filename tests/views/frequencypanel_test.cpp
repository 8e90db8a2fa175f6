// The five spectrum panels: defaults, wrap rules, the codes each control
// sends (posted or sent), "YScl" greyed in "RE+IM", the "YOFF1:" key, the
// start frequency gridded by the view, and a stored block.
#include "frequencyviewfixture.h"

#include "platform/appmessage.h"
#include "platform/textarchive.h"
#include "views/cohpanel.h"
#include "views/crspanel.h"
#include "views/fftpanel.h"
#include "views/frfpanel.h"
#include "views/frfview.h"
#include "views/psdpanel.h"
#include "widgets/selectorbutton.h"

#include <functional>
#include <memory>

namespace {

// The owner view: records each notification and whether it came while the
// control's click was still running (sent) or later (posted).
class RecordingView : public QWidget {
public:
    using QWidget::QWidget;
    std::vector<int> codes;

protected:
    bool event(QEvent* event) override
    {
        if (AppMessage::NumberOf(event) == WM_PANEL_NOTIFY) {
            codes.push_back(int(static_cast<AppMessage*>(event)->WParam()));
            return true;
        }
        return QWidget::event(event);
    }
};

struct Control {
    int id;
    int code;
    bool sent;
};

struct PanelCase {
    const char* name;
    std::function<CFrequencyPanel*(QWidget*)> make;
    std::vector<Control> controls;
};

using S = CFrequencyPanel;

const std::vector<PanelCase>& PanelCases()
{
    static const std::vector<PanelCase> cases = {
        {"FFT", [](QWidget* v) { return new CFftPanel(v); },
         {{S::IdYDiv1, 15, false}, {S::IdYDiv2, 16, false}, {S::IdOff1, 1, false}, {S::IdOff2, 2, false},
          {S::IdWindow, 6, false}, {S::IdXDiv, 8, false}, {S::IdXPos, 19, false},
          {CFftPanel::IdDisplay, 24, false}, {CFftPanel::IdCalc, 33, false}, {CFftPanel::IdAmplitude, 25, false},
          {CFftPanel::IdAverage, 21, false}, {S::IdCursor, 28, false}}},
        {"PSD", [](QWidget* v) { return new CPsdPanel(v); },
         {{S::IdYDiv1, 15, true}, {S::IdYDiv2, 16, true}, {S::IdOff1, 1, false}, {S::IdOff2, 2, false},
          {S::IdWindow, 6, false}, {S::IdXDiv, 0, false}, {S::IdXPos, 19, false},
          {CPsdPanel::IdDensity, 23, false}, {CPsdPanel::IdScale, 22, false}, {CPsdPanel::IdAverage, 21, false},
          {S::IdCursor, 28, false}}},
        {"CRS", [](QWidget* v) { return new CCrsPanel(v); },
         {{S::IdYDiv1, 15, true}, {S::IdYDiv2, 16, true}, {S::IdOff1, 1, false}, {S::IdOff2, 2, false},
          {S::IdWindow, 6, false}, {CCrsPanel::IdDensity, 23, false}, {S::IdXDiv, 0, false},
          {S::IdXPos, 19, false}}},
        {"FRF", [](QWidget* v) { return new CFrfPanel(v); },
         {{S::IdYDiv1, 15, true}, {S::IdYDiv2, 16, true}, {S::IdOff1, 1, true}, {S::IdOff2, 2, true},
          {S::IdWindow, 6, true}, {CFrfPanel::IdCalc, 17, false}, {CFrfPanel::IdDisplay, 18, false},
          {CFrfPanel::IdYScale, 22, true}, {S::IdXDiv, 0, false}, {S::IdXPos, 19, true}}},
        {"COH", [](QWidget* v) { return new CCohPanel(v); },
         {{S::IdWindow, 6, false}, {S::IdXDiv, 0, false}, {S::IdXPos, 19, false}}},
    };
    return cases;
}

class SpectrumPanelTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        window.resize(800, 600);
        view = new RecordingView(&window);
        view->setGeometry(150, 0, 650, 572);
    }
    static QByteArray Store(CPanelDlg& panel)
    {
        QByteArray bytes;
        TextArchive archive;
        archive.OpenBuffer(&bytes, TextArchive::Mode::Store);
        panel.SerializePanel(archive);
        archive.Close();
        return bytes;
    }
    static void Load(CPanelDlg& panel, QByteArray text)
    {
        TextArchive archive;
        archive.OpenBuffer(&text, TextArchive::Mode::Load);
        panel.SerializePanel(archive);
    }

    TestEnvironment env;
    QWidget window;
    RecordingView* view = nullptr;
};

TEST_F(SpectrumPanelTest, EveryControlSendsItsCodePostedOrSent)
{
    for (const PanelCase& c : PanelCases()) {
        std::unique_ptr<CFrequencyPanel> panel(c.make(view));
        QApplication::processEvents();
        ASSERT_TRUE(view->codes.empty()) << c.name << ": initialisation tells the view nothing";
        for (const Control& control : c.controls) {
            CSelectorButton* selector = panel->Selector(control.id);
            ASSERT_NE(selector, nullptr) << c.name << " " << control.id;
            SpectrumFixture::WheelNotch(selector);
            const std::vector<int> before = view->codes;
            QApplication::processEvents();
            const std::vector<int> expected{control.code};
            EXPECT_EQ(control.sent ? before : view->codes, expected) << c.name << " " << control.id;
            EXPECT_EQ(view->codes, expected) << c.name << " " << control.id;
            view->codes.clear();
        }
    }
}

TEST_F(SpectrumPanelTest, DefaultsOfANewPanel)
{
    CFftPanel fft(view);
    auto text = [&fft](int id) { return fft.Selector(id)->CurrentText(); };
    EXPECT_EQ(text(S::IdWindow), "Hann");
    EXPECT_EQ(text(S::IdXDiv), "100 Hz");
    EXPECT_EQ(text(CFftPanel::IdDisplay), "Mag");
    EXPECT_EQ(text(CFftPanel::IdCalc), "None");
    EXPECT_EQ(text(CFftPanel::IdAmplitude), "Peak");
    EXPECT_EQ(text(CFftPanel::IdAverage), "Linear");
    EXPECT_EQ(text(S::IdCursor), "Manual");
    EXPECT_EQ(text(S::IdYDiv1), "5");
    EXPECT_EQ(fft.Offset(0), 0.0);
    EXPECT_EQ(fft.Offset(1), 0.0);
    EXPECT_DOUBLE_EQ(fft.Selector(S::IdOff2)->Step(), 5.0);
    EXPECT_DOUBLE_EQ(fft.Selector(S::IdXPos)->Step(), 100.0);
    EXPECT_EQ(fft.Window(), 2);
    EXPECT_EQ(fft.FrequencyPerDivision(), 100.0);

    CPsdPanel psd(view);
    EXPECT_EQ(psd.Selector(CPsdPanel::IdScale)->CurrentText(), "Lin. RMS");
    EXPECT_EQ(psd.Selector(CPsdPanel::IdDensity)->CurrentText(), "Power");
    CCrsPanel crs(view);
    EXPECT_EQ(crs.Selector(S::IdYDiv2)->CurrentText(), "50");
    CFrfPanel frf(view);
    EXPECT_EQ(frf.Selector(CFrfPanel::IdYScale)->CurrentText(), "10 log");
    EXPECT_EQ(frf.Selector(CFrfPanel::IdCalc)->CurrentText(), "H0");
    EXPECT_EQ(frf.Selector(CFrfPanel::IdDisplay)->CurrentText(), "Mag+Phase");
    EXPECT_TRUE(frf.Selector(CFrfPanel::IdYScale)->IsSelectorEnabled());
    // Gridded by the view: no value yet.
    for (CFrequencyPanel* panel : {static_cast<CFrequencyPanel*>(&crs), static_cast<CFrequencyPanel*>(&frf)}) {
        EXPECT_FALSE(panel->Selector(S::IdXPos)->IsNumeric());
        EXPECT_EQ(panel->Selector(S::IdXPos)->Count(), 0);
        EXPECT_EQ(panel->XOffset(), 0.0);
    }
    QApplication::processEvents();
    view->codes.clear();
}

TEST_F(SpectrumPanelTest, WrapRules)
{
    CFftPanel fft(view);
    CSelectorButton* calc = fft.Selector(CFftPanel::IdCalc);
    calc->SelectText("Int Int");
    SpectrumFixture::WheelNotch(calc);
    EXPECT_EQ(calc->CurrentText(), "Int Int");
    CSelectorButton* amplitude = fft.Selector(CFftPanel::IdAmplitude);
    amplitude->SelectText("RMS");
    SpectrumFixture::WheelNotch(amplitude);
    EXPECT_EQ(amplitude->CurrentText(), "Peak");
    CPsdPanel psd(view);
    CSelectorButton* scale = psd.Selector(CPsdPanel::IdScale);
    SpectrumFixture::WheelNotch(scale, -120);
    EXPECT_EQ(scale->CurrentText(), "dbuV");
    QApplication::processEvents();
}

TEST_F(SpectrumPanelTest, FrfKeysAndStoredBlock)
{
    CFrfPanel frf(view);
    // Only "YOFF1:" reaches the first offset.
    Load(frf, "YOff1:#10,5,0\r\nYOFF1:#20,5,1\r\nYDiv1:$2\r\n}\r\n");
    EXPECT_DOUBLE_EQ(frf.Offset(0), 25.0);
    EXPECT_EQ(frf.Selector(S::IdYDiv1)->CurrentText(), "2");
    EXPECT_EQ(Store(frf), QByteArray("Ysc:$10 log\r\nYDiv2:$50\r\nXOff:#0,0,0\r\nYOff2:#0,5,0\r\n"
                                     "YOFF1:#20,5,1\r\nYDiv1:$2\r\nWnd:$Hann\r\nXDiv:$100 Hz\r\n"
                                     "Dspl:$Mag+Phase\r\nCalc:$H0\r\n"));
    QApplication::processEvents();
}

// Scale items show what they compute ("dB", "dBV", "dBu") while settings
// lines keep the item texts; sets written with either text load.
TEST_F(SpectrumPanelTest, ScaleCaptionsOnScreenItemTextsInSettingsLines)
{
    CFrfPanel frf(view);
    CSelectorButton& yScale = *frf.Selector(CFrfPanel::IdYScale);
    EXPECT_EQ(yScale.CurrentText(), "10 log");
    EXPECT_EQ(yScale.ItemCaption(yScale.CurrentIndex()), "dB");
    Load(frf, "Ysc:$Linear RMS\r\n}\r\n");
    ASSERT_EQ(yScale.CurrentKey(), 0);
    Load(frf, "Ysc:$dB\r\n}\r\n"); // as a later version might write it
    EXPECT_EQ(yScale.CurrentKey(), 1);
    EXPECT_TRUE(Store(frf).startsWith("Ysc:$10 log\r\n"));

    CPsdPanel psd(view);
    CSelectorButton& scale = *psd.Selector(CPsdPanel::IdScale);
    const QStringList shown = {scale.ItemCaption(0), scale.ItemCaption(1), scale.ItemCaption(2),
                               scale.ItemCaption(3), scale.ItemCaption(4)};
    EXPECT_EQ(shown, (QStringList{"Lin. RMS", "10 log p/p0", "10 log p/pmax", "dBV", "dBu"}));
    for (const char* line : {"Scale:$dbuV\r\n}\r\n", "Scale:$dBu\r\n}\r\n"}) {
        scale.SelectKey(0, false);
        Load(psd, line);
        EXPECT_EQ(scale.CurrentKey(), 4) << line;
        EXPECT_TRUE(Store(psd).contains("Scale:$dbuV\r\n")) << line;
    }
    QApplication::processEvents();
}

class FrfPanelViewTest : public SpectrumFixture {};

TEST_F(FrfPanelViewTest, RealImaginaryGreysTheScaleAndTheViewGridsTheStart)
{
    auto* view = Make<CFrfView>();
    CFrfPanel* panel = view->FrfPanel();
    CSelectorButton* scale = panel->Selector(CFrfPanel::IdYScale);
    WheelNotch(panel->Selector(CFrfPanel::IdDisplay)); // "RE+IM", posted
    QApplication::processEvents();
    EXPECT_FALSE(scale->IsSelectorEnabled());
    // A greyed "YScl" ignores the wheel.
    WheelNotch(scale, -120);
    EXPECT_EQ(scale->CurrentText(), "10 log");
    WheelNotch(panel->Selector(CFrfPanel::IdDisplay)); // back to "Mag+Phase"
    QApplication::processEvents();
    EXPECT_TRUE(scale->IsSelectorEnabled());
    WheelNotch(scale, -120);
    EXPECT_EQ(scale->CurrentText(), "Linear RMS");

    // The first wheel over "XPos" grids it by the frequency per division.
    panel->Selector(S::IdXDiv)->SelectText("500 Hz");
    WheelNotch(panel->Selector(S::IdXPos));
    EXPECT_TRUE(panel->Selector(S::IdXPos)->IsNumeric());
    EXPECT_DOUBLE_EQ(panel->Selector(S::IdXPos)->Step(), 500.0);
    WheelNotch(panel->Selector(S::IdXPos));
    EXPECT_DOUBLE_EQ(panel->XOffset(), 500.0);
}

} // namespace
