#pragma once
// The base of every view's control panel: a borderless column of value
// selectors built from a dialog template, placed to the left of its view.
// The selectors are the view's settings; the view reads them directly. A
// click on a selector reaches the view as WM_PANEL_NOTIFY with the
// selector's code, posted or sent. The panel writes and reads its selectors
// as the settings lines of the view's block in a settings set.
//
// The panel is a child of the view's parent window, so that it can sit
// beside the view; it is hidden until its view shows it. The controls sit on
// a content widget inside the panel: a panel shorter than its controls
// scrolls them, with an arrow strip at the top and the bottom and the wheel
// over the panel's background. UI thread only.

#include "platform/dialogtemplate.h"

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <span>
#include <vector>

class CSelectorButton;
class ColourScheme;
class CScrollArrow;
class TextArchive;

// Private message number (above WM_USER) of a panel's notification to its
// view: wParam the code below, lParam 0.
inline constexpr int WM_PANEL_NOTIFY = 100;

// The notification codes: what the view has to re-read.
enum PanelCode {
    PanelXScale = 0,         // "XDv": x division
    PanelOffset1 = 1,        // first "Off"
    PanelOffset2 = 2,        // second "Off"
    PanelTriggerSource = 3,  // "TSrc"
    PanelTriggerPos = 4,     // "TPos"
    PanelWindow = 6,         // "Wnd"
    PanelSpan = 8,           // "XDv" of the FFT panel
    PanelWeighting = 9,      // "Wght"
    PanelBandwidth = 10,     // "BW"
    PanelTimeWeighting = 11, // "Time" of the octave panel
    PanelTimeConstant = 12,  // "T" of the multimeter panel
    PanelYDiv1 = 15,         // first "YDiv"
    PanelYDiv2 = 16,         // second "YDiv"
    PanelFrfEstimator = 17,  // "Calc" of the FRF panel
    PanelFrfDisplay = 18,    // "Dspl" of the FRF panel
    PanelXOffset = 19,       // "XPos"
    PanelAverageMode = 21,   // "Avg"
    PanelLevelScale = 22,    // "Scl", "YScl"
    PanelPowerDisplay = 23,  // "Dspl" (1026) of the CRS and PSD panels
    PanelDisplayMode = 24,   // "Dspl" (1031) of the ACR, CCR and FFT panels
    PanelAmplitude = 25,     // "Ampl"
    PanelCoupling = 26,      // "Cpl"
    PanelCursorMode = 28,    // "Cursor", "Curs"
    PanelTrigger = 29,       // "Trg", "TLvl"
    PanelLowBand = 30,       // "LowFrq"
    PanelHighBand = 31,      // "HighFrq"
    PanelTriggerSlope = 32,  // "Slp", "TWin"
    PanelIntegration = 33,   // "Calc" of the FFT panel
};

enum class Delivery { Post, Send };

// Which code a selector's click sends, and how.
struct PanelNotification {
    int id;
    int code;
    Delivery delivery = Delivery::Post;
};

// A selector's settings key ("YDiv1:"), with the colon.
struct PanelSetting {
    int id;
    const char* key;
};

class CPanelDlg : public QWidget {
    Q_OBJECT
public:
    // Height of the page's tab strip, which the panel column spans too.
    static constexpr int kStripHeight = 28;
    // The invisible group boxes, in painting order.
    enum GroupId { GroupChannel1 = 1044, GroupChannel2 = 1045, GroupAxis = 1046, GroupAnalysis = 1047,
                   GroupCursor = 1049 };
    static constexpr int kGroupIds[] = {GroupChannel1, GroupChannel2, GroupAxis, GroupAnalysis, GroupCursor};

    // view: the owner, which receives the notifications; the panel becomes
    // a child of the view's parent.
    explicit CPanelDlg(QWidget* view);

    // Builds the controls of the template and sizes the panel to the
    // template size (dialog units), then runs OnInitDialog. Nothing is sent
    // to the view during it.
    void Create(std::span<const DialogControl> controls, int width, int height);

    QWidget* View() const { return m_view; }
    CSelectorButton* Selector(int id) const;

    // WM_PANEL_NOTIFY with code to the view.
    void Notify(int code, Delivery delivery);

    // Where the panel goes for a view at viewRect (both in the parent's
    // coordinates): panelWidth wide left of the view, from the view's top
    // down over the tab strip below it.
    static QRect Placement(const QRect& viewRect, int panelWidth);
    // Placement with the process-wide panel width.
    void PlaceBeside(const QRect& viewRect);

    // Store: one line per selector in the write order. Load: reads lines up
    // to and including the block's '}' line or the end of the text; each
    // line goes to the first key of the test order it matches, without
    // notification; other lines are skipped.
    void SerializePanel(TextArchive& archive);

    // True when line starts with key up to and including the key's first
    // colon (or the whole key, without one); rest gets what follows.
    static bool MatchKey(const QString& line, const QString& key, QString* rest = nullptr);

    // Makes the offset selector numeric with one step per the division
    // selector's value (its text read with ParseWithPrefix), keeping the
    // offset's value (0 when it was not numeric yet).
    void RegridOffset(int offsetId, int divisionId);

    // Outline colour of a group box: trace colours for the two channel
    // groups, the accent for the cursor group, the panel line otherwise.
    static QColor GroupColour(int groupId, const ColourScheme& colours);

    // Scrolling of a panel shorter than its controls.
    static constexpr int kArrowHeight = 10;
    static constexpr int kScrollStep = 24; // one row of controls
    // Pixels from the top of the controls to the bottom of the lowest one
    // and a margin.
    int ContentHeight() const { return m_contentHeight; }
    bool Scrolls() const { return height() < m_contentHeight; }
    // Pixels of the controls scrolled out above the panel's top arrow.
    int ScrollOffset() const { return m_scroll; }
    // Scrolls by pixels (negative: up), within the controls.
    void ScrollBy(int pixels);
    // Scrolls so that the control (a descendant) is whole between the arrows.
    void ScrollToShow(const QWidget* control);
    // The largest scroll offset for a panel of that height and controls of
    // contentHeight, and the panel rows left for the controls between the
    // arrows; no arrows and offset 0 when the controls fit.
    static int MaxScroll(int panelHeight, int contentHeight);
    static int ViewportHeight(int panelHeight, int contentHeight);

protected:
    // Binds and fills the selectors and sets their defaults.
    virtual void OnInitDialog() {}
    // After a loaded line was applied to the selector with that id.
    virtual void LineLoaded(int id) { Q_UNUSED(id); }
    // The outline a group is painted with; GroupColour unless a panel
    // outlines a group otherwise.
    virtual QColor OutlineColour(int groupId, const ColourScheme& colours) const
    {
        return GroupColour(groupId, colours);
    }

    void SetNotifications(std::span<const PanelNotification> notifications);
    // testOrder empty: the write order is also the order of tests.
    void SetSettings(std::span<const PanelSetting> writeOrder, std::span<const PanelSetting> testOrder = {});
    // Groups filled without their outline (the multimeter panel).
    void SetGroupOutlines(bool on) { m_groupOutlines = on; }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void OnControl(int id);
    void LoadLines(TextArchive& archive);
    void MakeScrollArrows();
    // Places the controls and arrows for the panel's height and the offset.
    void LayoutScroll();

    // Holds the template's controls; moved up by the scroll offset.
    QWidget* m_content = nullptr;
    CScrollArrow* m_up = nullptr;
    CScrollArrow* m_down = nullptr;
    int m_contentHeight = 0;
    int m_scroll = 0;

    QWidget* m_view;
    // Selectors found by id so far: the views read their panel's selectors
    // on every tick and paint, and a search of the children by their id
    // property costs far more than the reading.
    mutable std::vector<std::pair<int, QPointer<CSelectorButton>>> m_selectors;
    std::vector<PanelNotification> m_notifications;
    std::vector<PanelSetting> m_writeOrder;
    std::vector<PanelSetting> m_testOrder;
    bool m_groupOutlines = true;
};
