#pragma once
// The common base of the graph views: the plot area with its scales and
// traces, the two channel slots that follow the main bar's "Ch1" and "Ch2",
// the trace and display arrays, the coordinate transforms, painting through
// a back buffer, measurement cursors with their readouts and the delta box,
// rubber-band and wheel zoom, and the view's part of a settings set.
// Derived views supply their analysis and content through the virtual
// operations. UI thread only.
//
// The window is thin over three pieces: the view's data (ViewDisplay,
// reached through Data()), the cursors and zoom (CursorZoom) and the plot
// renderer (PlotRenderer, which owns the transforms); the window routes
// events and messages to them and forwards its drawing operations.
//
// Creation happens in two steps: the page constructs the view and then calls
// Create(), which runs the virtual CreatePanel (a constructor cannot reach a
// derived class's override).
//
// The panel is kept as a plain widget (m_panel), set by the CreatePanel
// override. Its settings lines go through the virtual hooks StorePanel and
// LoadPanel, which the views override to call their panel's own
// serialisation; the base hooks write nothing and, when loading, skip the
// lines up to and including the block's closing "}" line.
//
// Coordinates: client (logical) pixels. Rectangles are QRects whose
// x() + width() and y() + height() are the exclusive right and bottom edges
// (Right(), Bottom()); the integer layout rules use those edges. The back
// buffer is a QImage at the window's device pixel ratio, so drawing is sharp
// on HiDPI screens while the layout stays in logical pixels.

#include "capture/analysislane.h"
#include "context/analysisrecord.h"
#include "views/analysisinput.h"
#include "views/axistransform.h"
#include "views/cursorzoom.h"
#include "views/plotrenderer.h"
#include "views/viewdata.h"
#include "views/viewdisplay.h"
#include "views/viewtable.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CCursorWnd;
class CDeltaBox;
class CZoomBand;
class MainFrame;
class QPainter;
class TextArchive;

class CGraphWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxTraces = 32;
    static constexpr int kMaxCursors = CursorZoom::kMaxCursors;
    static constexpr int kDisplayArrays = 4;
    // Private messages from the pop-ups, above WM_USER.
    static constexpr int kMsgCursorMoved = 102;
    static constexpr int kMsgCursorCommand = 103;
    static constexpr int kMsgZoomDone = 104;
    static constexpr int kMsgDeltaMode = 107;
    // Mouse shapes (application resources).
    static constexpr int kScaleCursor = 139;
    static constexpr int kColourScaleCursor = 140;
    // DrawYAxis flags.
    static constexpr int kAxisRight = 2;
    static constexpr int kAxisLine = 4;

    enum Split {
        SplitFull = ViewDisplay::SplitFull,
        SplitUpper = ViewDisplay::SplitUpper,
        SplitLower = ViewDisplay::SplitLower
    };

    // A per-channel sample buffer of the views that keep their own history.
    struct Trace {
        std::vector<float> data;
        int length = 0;
        int capacity = 0;
        bool filled = false;
    };

    CGraphWnd(MainFrame* frame, QWidget* parent = nullptr);
    ~CGraphWnd() override;

    // The second creation step: takes the main window's analysis record,
    // runs CreatePanel once and makes the 9-point font.
    void Create();

    // ---- Virtual operations, in slot order ----
    // 0 manual; 1 automatic (cursors follow the maxima).
    virtual int CursorMode();
    virtual void ZoomToRect(int left, int top, int right, int bottom);
    virtual void UpdateCursorReadouts();
    virtual void PlaceCursors();
    virtual void SetCursorX(int cursor, int pixelX);
    // slot 0 or 1, -1 both: resets the y zoom, and with -1 the x zoom.
    virtual void Rescale(int slot);
    // The analysis of the latest record with the view's settings now: the
    // job of MakeAnalysis runs on the frame's analysis workers and its
    // result is adopted at a later AdoptResults; without workers (a view on
    // its own, in tests) it runs and is adopted at once. The octave and
    // multimeter views, which analyse continuously, override it.
    virtual void Analyse();
    virtual void Reinit();
    virtual void Tick();
    // The horizontal scale with its axis line at bottom + 2; sets the x
    // transform and the x scale strip.
    virtual void DrawXAxis(QPainter& painter, int left, int top, int right, int bottom, float xMin, float xMax,
                           double major, double minor, const QString& unit, bool grid);
    // Shows or hides the view, its panel, its cursors and the delta box.
    virtual void Show(bool show);
    virtual void CreatePanel();
    // The vertical scale of an axis number (0, 1); sets that slot's y
    // transform. flags: kAxisRight (labels right of x2), kAxisLine.
    virtual void DrawYAxis(QPainter& painter, int x, int top, int x2, int bottom, float yMin, float yMax,
                           double major, double minor, const QColor& axisColour, const QString& unit, bool grid,
                           int axis, int flags);
    virtual void DrawContent(QPainter& painter);
    virtual QRect PlotRect() const;

    // The panel's settings lines (see the header comment).
    virtual void StorePanel(TextArchive& archive);
    virtual void LoadPanel(TextArchive& archive);
    // A panel's notification code (WM_PANEL_NOTIFY); the view repaints after it.
    virtual void OnPanelNotify(int code);
    // The numbers the view shows now, for export; the base takes them from
    // the display arrays (ViewTable::FromDisplay).
    virtual ViewTable ExportTable() const;

    // ---- The analysis stage ----
    using AnalysisJob = std::function<void(ViewData&)>;
    // User-interface thread: a copy of what the analysis needs (record
    // snapshot, settings from the selectors) bound into a job that any
    // thread may run; empty when the view has nothing to analyse (hidden,
    // no record).
    virtual AnalysisJob MakeAnalysis();
    // Takes over a made result: the base swaps the arrays in and takes the
    // scales and units; views add what their drawing needs.
    virtual void AdoptAnalysis(ViewData& data);
    // Views whose analysis is a copy cheaper than a hand-over run it at
    // once even in the pipeline, so that they show every record.
    virtual bool AnalysesAtOnce() const { return false; }
    // The view shows the analysis of the captured records; the octave and
    // multimeter views, which read the channels themselves, do not.
    virtual bool AnalysesRecords() const { return true; }
    // The record and the main bar's choices an analysis reads now; no
    // record when none was published yet.
    AnalysisInput Input() const;
    // Analyse, and rescale fully once the result is adopted.
    void AnalyseAndRescale();
    // Adopts the newest finished result, unless it is older than what is
    // shown or made with settings changed since; true when one was adopted.
    bool AdoptResults();
    // Results adopted for records newer than the one shown before.
    std::uint64_t AnalysedRecords() const { return m_analysedRecords; }
    // Nothing of the view's analysis is running, waiting or untaken.
    bool AnalysisIdle() const { return !m_lane || m_lane->Idle(); }
    // Repaints wait for FlushRepaint, which the frame calls at most once per
    // display frame, so that adoptions and ticks between frames paint once.
    // Without workers (a view on its own) a request repaints at once.
    void RequestRepaint();
    // The view runs in the main window's pipeline (analysis workers,
    // adoption at the tick, paced repaints).
    bool Pipelined() const;
    // Repaints when one was requested; true when it did.
    bool FlushRepaint();
    // A new source or new channel definitions: the view forgets its result
    // and its legends, and writes the notice in its empty plot until the
    // next result; the next result rescales it as the first one does.
    void ClearDisplay(const QString& notice);
    // The source's state, written over the picture and marking it stale
    // ("source ended 12 s ago"); empty when the source delivers.
    void SetSourceNotice(const QString& notice);

    // ---- Non-virtual operations ----
    // Channel index chosen for slot 0 ("Ch1") or 1 ("Ch2"); -1 for "nc" and
    // any other slot.
    int SlotChannel(int slot) const;
    int ActiveSlotCount() const;
    void SetTraceCount(int count);
    // Grows display arrays 0, 1 (and 2, 3 with second) to points values
    // (contents not kept when growing); point count = points.
    void SizeDisplay(int points, bool second);
    // Moves the cursor onto the nearby peak of the display array and
    // returns the peak's quality (x over its width at -3 dB).
    double PeakNearCursor(int cursor, int array);
    QString SlotUnit(int slot) const;
    void SizeWorkArrays(int points, bool second, int factor);
    void FollowMaxima();
    // Clip to the rectangle widened by one pixel left, right and below;
    // nullptr removes the clip.
    static void ClipToPlot(QPainter& painter, const QRect* rect);
    static void FrameRect(QPainter& painter, int left, int top, int right, int bottom);
    static double ParseWithPrefix(const QString& text);
    // "Active:%d", "First:%d", then the panel's lines; loading reads the
    // two lines and then lets the panel read up to its block's "}".
    void Serialize(TextArchive& archive);

    // ---- Plot drawing ----
    // The ten-by-ten division plot (or the cascade or spectrogram when that
    // flag is set). divisions, offsets: per slot.
    void DrawDivisionPlot(QPainter& painter, const double divisions[2], const double offsets[2], double xStart,
                          double xPerDivision);
    void DrawCascade(QPainter& painter, const double divisions[2], const double offsets[2], double xStart,
                     double xPerDivision);
    void DrawSpectrogram(QPainter& painter, const double divisions[2], const double offsets[2], double xStart,
                         double xPerDivision);
    void DrawLegend(QPainter& painter, bool centred);
    // A text in a box as drawText(box, flags, text), aligned to the top or
    // the vertical centre and left, right or centred, for the axis labels
    // and legends that paint after paint are the same few texts: their
    // layout is kept rather than redone.
    void DrawAxisLabel(QPainter& painter, const QRect& box, int flags, const QString& text);
    void DrawResetButtons(QPainter& painter);
    // 1-2-5 division and offset for ten divisions; see rescaledivisions.h.
    static void RescaleDivisions(const float* values, int count, double& division, double& offset);
    static QString LabelFormat(double step);
    static int DecimateMinMax(const float* values, int count, int limit, float* pairs, int columns);

    // ---- State the views and the page use ----
    bool IsActive() const { return m_active; }
    bool First() const { return m_first; }
    void SetFirst(bool first) { m_first = first; }
    // After an analysis: the first one rescales the view fully, later ones
    // only repaint.
    void RescaleFirstOrRepaint();
    MainFrame* Frame() const { return m_frame; }
    AnalysisRecord* Record() const { return m_record; }
    QWidget* Panel() const { return m_panel; }
    // What the view shows: display arrays, scales, slots, units.
    ViewDisplay& Data() { return m_data; }
    const ViewDisplay& Data() const { return m_data; }
    int PointCount() const { return m_data.PointCount(); }
    float* Display(int array) { return m_data.Display(array); }
    const float* Display(int array) const { return m_data.Display(array); }
    int CursorCount() const { return m_zoom.Count(); }
    CCursorWnd* Cursor(int index) const;
    CDeltaBox* DeltaBox() const { return m_zoom.DeltaBox(); }
    CZoomBand* RubberBand() const { return m_zoom.RubberBand(); }
    const QImage& BackBuffer() const { return m_backBuffer; }
    const AxisTransform& XTransform() const { return m_renderer.X(); }
    const AxisTransform& YTransform(int slot) const { return m_renderer.Y()[size_t(slot & 1)]; }
    bool XZoomed() const { return m_zoom.XZoomed(); }
    bool YZoomed() const { return m_zoom.YZoomed(); }
    double UnzoomedXMin() const { return m_zoom.UnzoomedXMin(); }
    double UnzoomedXMax() const { return m_zoom.UnzoomedXMax(); }
    const QRect& XScaleStrip() const { return m_renderer.XScaleStrip(); }
    const QRect& ColourScaleArea(int slot) const { return m_renderer.ColourScaleArea(slot); }
    const QRect& LegendStrip(int slot) const { return m_renderer.LegendStrip(slot); }
    const QRect& ResetButton(int which) const { return m_renderer.ResetButton(which); }
    const QRect& AutoButton(int axis) const { return m_renderer.AutoButton(axis); }
    int ColourMapType() const { return m_colourMapType; }
    // The record shown: the latest published unless the view has none.
    const CaptureRecord* Capture() const { return m_record ? m_record->capture.get() : nullptr; }
    // The mouse shape number for a client point: 139, 140 or 0 (arrow).
    int MouseShapeAt(const QPoint& point) const;

    // In the "Harmonic" cursor mode (2) each cursor's frequency is taken as
    // a fundamental: the x values of its harmonics 2f, 3f, ... within the x
    // axis, which the view marks; none when they would lie closer than a
    // few pixels.
    std::vector<double> HarmonicsShown(double fundamental) const;

    // The unit text an axis of a slot shows.
    QString AxisUnit(int slot) const;
    QColor SlotColour(int slot) const;

    static int Right(const QRect& r) { return r.x() + r.width(); }
    static int Bottom(const QRect& r) { return r.y() + r.height(); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // The export menu ("Copy data", "Export CSV…", "Export PNG…"); a
    // cursor, which is a window of its own, keeps its own right click.
    void contextMenuEvent(QContextMenuEvent* event) override;

    // Renders the back buffer as painting does (fill, DrawContent, cursors);
    // also used to draw without a screen.
    void RenderBackBuffer();
    // The y range of a slot from its division and offset unless y is zoomed.
    void SlotRange(int slot, double division, double offset);
    // The display array a slot draws from (slot + 2 in the lower split).
    int DrawArray(int slot) const { return m_data.DrawArray(slot); }
    // Views that rewrite the display arrays without SizeDisplay call this,
    // so that kept renderings (the spectrogram image) are made again.
    void MarkDisplayChanged() { m_data.MarkChanged(); }
    // Where legends stand (views that lay them out themselves).
    void SetLegendStrips(const std::array<QRect, 2>& strips) { m_renderer.SetLegendStrips(strips); }
    // The combined legend ("ch2 / ch1") of a quantity relating the two channels.
    void SetCombinedLegend(bool on) { m_renderer.SetCombinedLegend(on); }
    // Segments of the record: SegmentCount of the analysis record, 1 without one.
    int RecordSegmentCount() const;
    // The y axes of the active slots along a plot: one shared axis when the
    // ranges are equal, else one per slot in its trace colour.
    void DrawSlotAxes(QPainter& painter, const QRect& plot, const double divisions[2], const double offsets[2]);
    // The polyline of count values from x start, x step in a slot's colour.
    void DrawTrace(QPainter& painter, int slot, const float* values, int count, const QRect& plot);

    // ---- Fields, in the order of the view's data ----
    bool m_active = false;
    MainFrame* m_frame = nullptr;
    AnalysisRecord* m_record = nullptr;
    std::array<Trace, kMaxTraces> m_traces;
    int m_traceCount = 0;
    int m_traceCapacity = 0;
    QImage m_backBuffer;
    int m_colourMapType = 0;
    QWidget* m_panel = nullptr;
    // An empty custom unit falls back to the channel's unit; views whose
    // quantity has no unit (coherence) clear this.
    bool m_channelUnits = true;
    bool m_first = true;
    // Work arrays of SizeWorkArrays: two pairs.
    std::array<std::vector<float>, 4> m_work;

private:
    void Adopt(ViewData& data, AnalysisTag tag);

    ViewDisplay m_data;
    CursorZoom m_zoom;
    PlotRenderer m_renderer{*this};

    std::unique_ptr<AnalysisLane<ViewData>> m_lane;
    ViewData m_inlineData; // the result of an analysis run at once, without workers
    std::uint64_t m_requestedRecord = ~std::uint64_t(0);
    std::uint64_t m_settingsGeneration = 0;
    std::uint64_t m_adoptedRecord = 0;
    std::uint64_t m_analysedRecords = 0;
    std::uint64_t m_rescaleGeneration = 0;
    bool m_rescalePending = false;
    bool m_repaintWanted = false;

    // Readouts of cursors 0 and 1 per slot, for the delta box.
    struct CursorValues {
        double value[2][2] = {};
        bool shown[2][2] = {};
    };
    // The point index nearest x; -1 outside the points.
    int NearestIndex(double x) const;
    // A cursor reads the values of the point nearest it and stands on it.
    void ReadPoint(int cursor, CursorValues& values);
    // On the colour map a cursor reads the segment under it: its time and,
    // per slot, the strongest level with its frequency.
    void ReadSegment(int cursor, CursorValues& values);
    int SegmentAt(double time) const;
    double SegmentTime(int segment) const;
    // The segment holding the largest (smallest) level of an array; -1 when
    // it holds no rows.
    int ExtremeSegment(int array, bool largest) const;
    // The axis the cursors stand on and its unit: x, or time on the colour map.
    const AxisTransform& CursorAxis() const;
    QString CursorUnit() const;
    void PlaceCursor(int cursor);
    static constexpr double kHarmonicSpacing = 4.0;       // pixels between markers, at least
    static constexpr double kHarmonicLabelSpacing = 16.0; // and for their numbers
    // Dashed lines at the harmonics of every cursor in the "Harmonic" mode,
    // into the back buffer once the content is drawn (cursors exist, so
    // painting goes through it).
    void DrawHarmonicMarkers();
    void OnCursorMoved(int cursor, int pixelX);
    void OnCursorCommand(int cursor, int command);
    void OnZoomDone(bool accepted);
    void OnDeltaMode(int command);
    void AddCursor(int pixelX);
    void DeleteCursor(int cursor);
    void LayoutLegendStrips();
    void UpdateMouseShape(const QPoint& point);
    void PlacePanel();
    void EnsureBackBuffer();
    // The notice line of the data, over what DrawContent drew.
    void DrawNotice(QPainter& painter);
};
