#pragma once
// One page of the main window: the strip of eleven view tabs along the
// bottom of the page's tile, and the owner of the page's analysis views.
// One view is shown at a time, the one whose tab is lit. The page forwards
// the main tick and the main window's broadcasts to its views and writes
// and reads their settings blocks.
//
// The views (and their panels) are children of the main window, like the
// page itself; the page deletes them with itself. A kind of view that this
// program does not build has no view on the page and a disabled tab.
// UI thread only.

#include "views/viewfactories.h"

#include <QRect>
#include <QWidget>
#include <array>

class CGraphWnd;
class CScrollArrow;
class CToggleButton;
class MainFrame;
class TextArchive;

class CViewBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStripHeight = 28;
    static constexpr int kResourceId = 137;
    // Reader client of the octave views, emptied when one is chosen.
    static constexpr int kOctaveClient = 3;

    // Makes the views of the factory table (each kind that has a factory),
    // the tabs, and shows the time view.
    CViewBar(MainFrame* frame, QWidget* parent, const ViewFactories& factories = RegisteredViews());
    ~CViewBar() override;

    // Places the page in its tile (main-window client coordinates): the
    // strip at the bottom right of the panel column, the views above it.
    void LayoutViews(int x, int y, int w, int h);
    // What a click on the kind's tab does: hides every view, shows that
    // one and lights its tab. Nothing for a kind without a view.
    void SelectView(ViewKind kind);
    // The main tick: the views that read the channels themselves (octave,
    // multimeter).
    void TickViews();
    // Takes over the finished analyses of the page's views; every tick.
    bool AdoptAnalyses();
    // Repaints the views that asked for it; at most once per display frame.
    void FlushRepaints();
    // The view shown analyses continuously on a thread of its own (octave).
    bool ShowsThreadedView() const;
    // New data or a new channel choice: the record-based views analyse.
    void RecomputeViews();
    // The channel set changed.
    void ChannelsChanged();
    // "A" on the main bar: every view but the octave and multimeter views
    // rescales both traces and resets its zoom.
    void RescaleViews();
    // The page's block of a settings set: one block per view.
    void SerializePanel(TextArchive& archive);
    // A new source or new channel definitions: every view forgets what it
    // shows, legends included, and says what it waits for.
    void ClearViews(const QString& notice);
    // The source's state written on every view ("source ended 12 s ago");
    // empty while the source delivers.
    void SetSourceNotice(const QString& notice);

    CGraphWnd* View(ViewKind kind) const { return m_views[Index(kind)]; }
    CToggleButton* Tab(ViewKind kind) const { return m_tabs[Index(kind)]; }
    // The visible view's kind, or -1 when none is shown.
    int ActiveKind() const;

    static int TabId(ViewKind kind);
    // "Time", "FFT", …: the view's settings block is "<name> {".
    static const char* BlockName(ViewKind kind);

    QRect Tile() const { return m_tile; }
    QRect ViewArea() const { return m_viewArea; }

    // The caption a tab shows when its strip is too narrow for the full one.
    static QString ShortCaption(ViewKind kind);
    // A strip too narrow for every tab scrolls: the first tab shown, and a
    // move by steps tabs (negative: back).
    bool TabsScroll() const { return m_tabsScroll; }
    int FirstTab() const { return m_firstTab; }
    void ScrollTabs(int steps);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    static int Index(ViewKind kind) { return int(kind); }
    void CreateViews(const ViewFactories& factories);
    void ColourTabs();
    void MakeScrollArrows();
    // Places the tabs and arrows for the strip's width.
    void ArrangeTabs();
    void OnTab(int id);
    void DeactivateAll();
    // Before the spectrogram: averaging must be "Auto".
    void RequireAutoAveraging();
    void LoadBlocks(TextArchive& archive);

    MainFrame* m_frame;
    std::array<CGraphWnd*, kViewKindCount> m_views{};
    std::array<CToggleButton*, kViewKindCount> m_tabs{};
    std::array<QString, kViewKindCount> m_fullCaptions;
    CScrollArrow* m_back = nullptr;
    CScrollArrow* m_forward = nullptr;
    bool m_tabsScroll = false;
    // Index in strip order of the first tab shown while the strip scrolls.
    int m_firstTab = 0;
    QRect m_tile;
    QRect m_viewArea;
};
