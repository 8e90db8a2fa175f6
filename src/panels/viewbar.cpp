#include "viewbar.h"

#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "context/channelsource.h"
#include "context/mainframe.h"
#include "panels/attentiondlg.h"
#include "panels/tabstriplayout.h"
#include "platform/dialogtemplate.h"
#include "platform/textarchive.h"
#include "views/graphwnd.h"
#include "views/timeview.h"
#include "widgets/scrollarrow.h"
#include "widgets/togglebutton.h"
#include "widgets/widgetcontrols.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWheelEvent>

namespace {

struct TabEntry {
    ViewKind kind;
    int id;
    const char* block;
};

// By ViewKind: tab id and settings block name.
constexpr TabEntry kTabs[kViewKindCount] = {
    {ViewKind::Time, 1058, "Time"}, {ViewKind::Fft, 1059, "FFT"}, {ViewKind::Psd, 1060, "PSD"},
    {ViewKind::Frf, 1061, "FRF"},   {ViewKind::Coh, 1063, "COH"}, {ViewKind::Crs, 1062, "CRS"},
    {ViewKind::Ccr, 1065, "CCR"},   {ViewKind::Acr, 1064, "ACR"}, {ViewKind::Spg, 1068, "SPG"},
    {ViewKind::Oct, 1066, "OCT"},   {ViewKind::Dmm, 1067, "DMM"},
};

// Template 137: the tabs left to right, y 3, 34 x 12 dialog units.
constexpr DialogControl kTemplate[] = {
    {1058, ControlKind::Toggle, "TIME", 4, 3, 34, 12},    {1059, ControlKind::Toggle, "FFT", 38, 3, 34, 12},
    {1060, ControlKind::Toggle, "PS[D]", 72, 3, 34, 12},  {1061, ControlKind::Toggle, "FRF", 106, 3, 34, 12},
    {1062, ControlKind::Toggle, "CRS", 140, 3, 34, 12},   {1063, ControlKind::Toggle, "COH", 174, 3, 34, 12},
    {1064, ControlKind::Toggle, "ACR", 208, 3, 34, 12},   {1065, ControlKind::Toggle, "CCR", 242, 3, 34, 12},
    {1068, ControlKind::Toggle, "SPCTGR", 276, 3, 34, 12}, {1066, ControlKind::Toggle, "OCTAVE", 310, 3, 34, 12},
    {1067, ControlKind::Toggle, "DMM", 344, 3, 34, 12},
};
constexpr bool TabsInKindOrder()
{
    for (int i = 0; i < kViewKindCount; ++i) {
        if (int(kTabs[i].kind) != i)
            return false;
    }
    return true;
}
static_assert(TabsInKindOrder(), "kTabs is indexed by ViewKind");

constexpr int kTemplateWidth = 421;
constexpr int kTemplateHeight = 19;

// The order in which the view windows are made.
constexpr ViewKind kCreationOrder[] = {ViewKind::Time, ViewKind::Fft, ViewKind::Psd, ViewKind::Spg,
                                       ViewKind::Oct,  ViewKind::Dmm, ViewKind::Frf, ViewKind::Coh,
                                       ViewKind::Crs,  ViewKind::Ccr, ViewKind::Acr};
// The views that analyse the captured record, in the order they do.
constexpr ViewKind kRecordViews[] = {ViewKind::Time, ViewKind::Fft, ViewKind::Psd, ViewKind::Frf, ViewKind::Coh,
                                     ViewKind::Crs,  ViewKind::Ccr, ViewKind::Acr, ViewKind::Spg};
// The tabs in strip order, left to right.
constexpr ViewKind kStripOrder[] = {ViewKind::Time, ViewKind::Fft, ViewKind::Psd, ViewKind::Frf,
                                    ViewKind::Crs,  ViewKind::Coh, ViewKind::Acr, ViewKind::Ccr,
                                    ViewKind::Spg,  ViewKind::Oct, ViewKind::Dmm};

// By ViewKind: the caption of a tab in a narrow strip.
constexpr const char* kShortCaptions[kViewKindCount] = {"TIME", "FFT", "PSD", "FRF", "COH", "CRS",
                                                        "CCR",  "ACR", "SPG", "OCT", "DMM"};

const QColor kOffFace(80, 80, 80);
const QColor kOnFace(255, 255, 192);
// A tab without a view: the off face with a dimmed caption.
const QColor kUnavailableText(140, 140, 140);
// How long the notice that the spectrogram needs automatic averaging stays.
constexpr int kAutoNoticeMs = 1000;

} // namespace

CViewBar::CViewBar(MainFrame* frame, QWidget* parent, const ViewFactories& factories)
    : QWidget(parent), m_frame(frame)
{
    BuildDialog(this, kTemplate, CreateWidgetControl);
    resize(DialogSizeToPixels(kTemplateWidth, kTemplateHeight));
    for (const TabEntry& tab : kTabs) {
        CToggleButton* button = ControlAs<CToggleButton>(this, tab.id);
        m_tabs[Index(tab.kind)] = button;
        m_fullCaptions[Index(tab.kind)] = button->text();
        button->setToolTip(button->text());
    }
    CreateViews(factories);
    ColourTabs();
    ConnectClicks(this, [this](int id) { OnTab(id); });
    MakeScrollArrows();

    if (View(ViewKind::Time)) {
        SelectView(ViewKind::Time);
        return;
    }
    // Without a time view the page opens on the first view it has.
    for (ViewKind kind : kStripOrder) {
        if (View(kind)) {
            SelectView(kind);
            break;
        }
    }
}

CViewBar::~CViewBar()
{
    for (CGraphWnd*& view : m_views) {
        delete view;
        view = nullptr;
    }
}

void CViewBar::CreateViews(const ViewFactories& factories)
{
    QWidget* owner = parentWidget();
    const int panelWidth = Ctx().panelWidth;
    for (ViewKind kind : kCreationOrder) {
        ViewFactory make = factories[Index(kind)];
        if (!make)
            continue;
        CGraphWnd* view = make(m_frame, owner);
        view->setWindowTitle(QStringLiteral("Unit"));
        view->setCursor(Qt::ArrowCursor);
        view->setGeometry(0, 0, panelWidth, kStripHeight);
        view->Create();
        m_views[Index(kind)] = view;
    }
}

void CViewBar::ColourTabs()
{
    for (int i = 0; i < kViewKindCount; ++i) {
        CToggleButton* tab = m_tabs[i];
        const bool available = m_views[i] != nullptr;
        tab->SetColors(kOffFace, available ? QColor(Qt::white) : kUnavailableText, kOnFace, Qt::black);
        tab->setEnabled(available);
    }
}

void CViewBar::MakeScrollArrows()
{
    m_back = new CScrollArrow(Qt::LeftArrow, this);
    m_forward = new CScrollArrow(Qt::RightArrow, this);
    m_back->hide();
    m_forward->hide();
    connect(m_back, &CScrollArrow::clicked, this, [this] { ScrollTabs(-1); });
    connect(m_forward, &CScrollArrow::clicked, this, [this] { ScrollTabs(1); });
}

QString CViewBar::ShortCaption(ViewKind kind) { return QString::fromLatin1(kShortCaptions[Index(kind)]); }

void CViewBar::ArrangeTabs()
{
    if (!m_back)
        return;
    std::array<TabStripLayout::Caption, kViewKindCount> captions{};
    for (int k = 0; k < kViewKindCount; ++k) {
        const ViewKind kind = kStripOrder[k];
        const QFontMetrics metrics(Tab(kind)->font());
        captions[size_t(k)] = {metrics.horizontalAdvance(m_fullCaptions[Index(kind)]),
                               metrics.horizontalAdvance(ShortCaption(kind))};
    }
    const TabStripLayout::Arrangement strip = TabStripLayout::Arrange(width(), captions, m_firstTab);
    m_tabsScroll = strip.scrolls;
    m_firstTab = strip.first;
    for (int k = 0; k < kViewKindCount; ++k) {
        const ViewKind kind = kStripOrder[k];
        CToggleButton* tab = Tab(kind);
        const QRect place = strip.tabs[size_t(k)];
        tab->setText(strip.shortCaption[size_t(k)] ? ShortCaption(kind) : m_fullCaptions[Index(kind)]);
        tab->setVisible(!place.isEmpty());
        if (!place.isEmpty())
            tab->setGeometry(place);
    }
    m_back->setVisible(strip.scrolls);
    m_forward->setVisible(strip.scrolls);
    if (strip.scrolls) {
        m_back->setGeometry(strip.back);
        m_forward->setGeometry(strip.forward);
        m_back->setEnabled(strip.first > 0);
        m_forward->setEnabled(strip.tabs.back().isEmpty());
    }
}

void CViewBar::ScrollTabs(int steps)
{
    if (!m_tabsScroll)
        return;
    m_firstTab = std::max(0, m_firstTab + steps);
    ArrangeTabs();
}

void CViewBar::resizeEvent(QResizeEvent*) { ArrangeTabs(); }

void CViewBar::wheelEvent(QWheelEvent* event)
{
    // Over a scrolling strip the wheel moves the tabs, wheel up to the left.
    const int delta = event->angleDelta().y();
    if (!m_tabsScroll || delta == 0) {
        event->ignore();
        return;
    }
    event->accept();
    ScrollTabs(delta > 0 ? -1 : 1);
}

int CViewBar::TabId(ViewKind kind) { return kTabs[Index(kind)].id; }

const char* CViewBar::BlockName(ViewKind kind) { return kTabs[Index(kind)].block; }

int CViewBar::ActiveKind() const
{
    for (int i = 0; i < kViewKindCount; ++i) {
        if (m_views[i] && m_views[i]->IsActive())
            return i;
    }
    return -1;
}

void CViewBar::LayoutViews(int x, int y, int w, int h)
{
    const int panelWidth = Ctx().panelWidth;
    m_tile = QRect(x, y, w, h);
    m_viewArea = QRect(x + panelWidth, y, w - panelWidth, h - kStripHeight);
    setGeometry(x + panelWidth, y + h - kStripHeight, w - panelWidth, kStripHeight);
    for (CGraphWnd* view : m_views) {
        if (!view)
            continue;
        view->setGeometry(m_viewArea);
        view->update();
    }
    update();
}

void CViewBar::OnTab(int id)
{
    for (const TabEntry& tab : kTabs) {
        if (tab.id == id) {
            SelectView(tab.kind);
            return;
        }
    }
}

void CViewBar::DeactivateAll()
{
    for (int i = 0; i < kViewKindCount; ++i) {
        if (m_views[i])
            m_views[i]->Show(false);
        m_tabs[i]->SetState(false);
    }
}

void CViewBar::SelectView(ViewKind kind)
{
    CGraphWnd* view = View(kind);
    if (!view)
        return;
    if (kind == ViewKind::Spg)
        RequireAutoAveraging();
    DeactivateAll();
    // The octave and multimeter views start from fresh samples.
    if (kind == ViewKind::Oct || kind == ViewKind::Dmm)
        Channels().ResetClient(kOctaveClient, -1);
    view->Show(true);
    Tab(kind)->SetState(true);
    if (kind != ViewKind::Time && kind != ViewKind::Oct && kind != ViewKind::Dmm)
        view->Analyse();
}

void CViewBar::RequireAutoAveraging()
{
    // The record holds the main bar's "Avg" choice, passed on with each change.
    if (m_frame->Record().averages == 0)
        return;
    CAttentionDlg::Show(m_frame->Window(), QStringLiteral("Set avg must to auto"), kAutoNoticeMs);
    m_frame->ChooseAutoAveraging();
}

void CViewBar::RescaleViews()
{
    for (int kind = 0; kind < kViewKindCount; ++kind) {
        if (ViewKind(kind) == ViewKind::Oct || ViewKind(kind) == ViewKind::Dmm)
            continue;
        if (CGraphWnd* view = View(ViewKind(kind)))
            view->Rescale(-1);
    }
}

void CViewBar::TickViews()
{
    if (CGraphWnd* octave = View(ViewKind::Oct))
        octave->Tick();
    if (CGraphWnd* multimeter = View(ViewKind::Dmm))
        multimeter->Tick();
}

bool CViewBar::AdoptAnalyses()
{
    bool adopted = false;
    for (ViewKind kind : kRecordViews)
        if (CGraphWnd* view = View(kind))
            adopted = view->AdoptResults() || adopted;
    return adopted;
}

void CViewBar::FlushRepaints()
{
    for (CGraphWnd* view : m_views)
        if (view)
            view->FlushRepaint();
}

bool CViewBar::ShowsThreadedView() const
{
    const CGraphWnd* octave = View(ViewKind::Oct);
    return octave && octave->IsActive();
}

void CViewBar::RecomputeViews()
{
    for (ViewKind kind : kRecordViews) {
        if (CGraphWnd* view = View(kind))
            view->Analyse();
    }
}

void CViewBar::ChannelsChanged()
{
    if (auto* time = qobject_cast<CTimeView*>(View(ViewKind::Time)))
        time->RefreshChannelList();
    else if (CGraphWnd* other = View(ViewKind::Time))
        other->SetTraceCount(Channels().ChannelCount());
    if (CGraphWnd* octave = View(ViewKind::Oct))
        octave->Reinit();
}

void CViewBar::SerializePanel(TextArchive& archive)
{
    if (archive.IsStoring()) {
        for (const TabEntry& tab : kTabs) {
            CGraphWnd* view = View(tab.kind);
            if (!view)
                continue;
            archive.BeginBlock(QString::fromLatin1(tab.block));
            view->Serialize(archive);
            archive.EndBlock();
        }
        return;
    }
    if (archive.IsLoading())
        LoadBlocks(archive);
}

void CViewBar::LoadBlocks(TextArchive& archive)
{
    DeactivateAll();
    QString line;
    while (archive.ReadLine(line) && !TextArchive::IsBlockEnd(line)) {
        for (const TabEntry& tab : kTabs) {
            if (!line.startsWith(QString::fromLatin1(tab.block) + QStringLiteral(" {")))
                continue;
            if (CGraphWnd* view = View(tab.kind))
                view->Serialize(archive);
            else
                archive.SkipBlock();
            break;
        }
    }
    // Each selection hides the others, so the last loaded active view in
    // block order stays visible; the flags are taken before any selection.
    std::array<bool, kViewKindCount> loadedActive{};
    for (int i = 0; i < kViewKindCount; ++i)
        loadedActive[i] = m_views[i] && m_views[i]->IsActive();
    for (const TabEntry& tab : kTabs) {
        if (loadedActive[Index(tab.kind)])
            SelectView(tab.kind);
    }
}

void CViewBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Ctx().colours.barBrush);
}

void CViewBar::ClearViews(const QString& notice)
{
    // The octave and multimeter views read the channels on every tick and
    // have something new at once: they wait for nothing.
    for (int kind = 0; kind < kViewKindCount; ++kind)
        if (CGraphWnd* view = m_views[size_t(kind)]) {
            const bool continuous = ViewKind(kind) == ViewKind::Oct || ViewKind(kind) == ViewKind::Dmm;
            view->ClearDisplay(continuous ? QString() : notice);
        }
}

void CViewBar::SetSourceNotice(const QString& notice)
{
    for (CGraphWnd* view : m_views)
        if (view)
            view->SetSourceNotice(notice);
}
