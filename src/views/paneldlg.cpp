#include "paneldlg.h"

#include "context/appcontext.h"
#include "context/parsewithprefix.h"
#include "platform/appmessage.h"
#include "platform/textarchive.h"
#include "widgets/scrollarrow.h"
#include "widgets/selectorbutton.h"
#include "widgets/widgetcontrols.h"

#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace {
// Air below the lowest control.
constexpr int kContentMargin = 3;
}

CPanelDlg::CPanelDlg(QWidget* view) : QWidget(view ? view->parentWidget() : nullptr), m_view(view)
{
    hide();
}

void CPanelDlg::Create(std::span<const DialogControl> controls, int width, int height)
{
    m_content = new QWidget(this);
    BuildDialog(m_content, controls, CreateWidgetControl);
    const QSize size = DialogSizeToPixels(width, height);
    for (const QWidget* control : m_content->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        m_contentHeight = std::max(m_contentHeight, control->geometry().bottom() + 1 + kContentMargin);
    m_content->setGeometry(0, 0, size.width(), std::max(size.height(), m_contentHeight));
    MakeScrollArrows();
    resize(size);
    OnInitDialog();
    ConnectClicks(this, [this](int id) { OnControl(id); });
}

void CPanelDlg::MakeScrollArrows()
{
    m_up = new CScrollArrow(Qt::UpArrow, this);
    m_down = new CScrollArrow(Qt::DownArrow, this);
    m_up->hide();
    m_down->hide();
    connect(m_up, &CScrollArrow::clicked, this, [this] { ScrollBy(-kScrollStep); });
    connect(m_down, &CScrollArrow::clicked, this, [this] { ScrollBy(kScrollStep); });
}

int CPanelDlg::ViewportHeight(int panelHeight, int contentHeight)
{
    if (panelHeight >= contentHeight)
        return panelHeight;
    return std::max(0, panelHeight - 2 * kArrowHeight);
}

int CPanelDlg::MaxScroll(int panelHeight, int contentHeight)
{
    return std::max(0, contentHeight - ViewportHeight(panelHeight, contentHeight));
}

void CPanelDlg::LayoutScroll()
{
    if (!m_content)
        return;
    const bool scrolls = Scrolls();
    m_scroll = std::clamp(m_scroll, 0, MaxScroll(height(), m_contentHeight));
    const int top = scrolls ? kArrowHeight : 0;
    m_content->setGeometry(0, top - m_scroll, width(), std::max(height(), m_contentHeight));
    m_up->setVisible(scrolls);
    m_down->setVisible(scrolls);
    if (!scrolls)
        return;
    m_up->setGeometry(0, 0, width(), kArrowHeight);
    m_down->setGeometry(0, height() - kArrowHeight, width(), kArrowHeight);
    m_up->setEnabled(m_scroll > 0);
    m_down->setEnabled(m_scroll < MaxScroll(height(), m_contentHeight));
    m_up->raise();
    m_down->raise();
}

void CPanelDlg::ScrollBy(int pixels)
{
    m_scroll += pixels;
    LayoutScroll();
    update();
}

void CPanelDlg::ScrollToShow(const QWidget* control)
{
    if (!m_content || !control || !Scrolls())
        return;
    const QRect place(control->mapTo(m_content, QPoint(0, 0)), control->size());
    const int viewport = ViewportHeight(height(), m_contentHeight);
    if (place.top() < m_scroll)
        m_scroll = place.top();
    else if (place.bottom() + 1 > m_scroll + viewport)
        m_scroll = place.bottom() + 1 - viewport;
    LayoutScroll();
    update();
}

void CPanelDlg::resizeEvent(QResizeEvent*) { LayoutScroll(); }

void CPanelDlg::wheelEvent(QWheelEvent* event)
{
    // Selectors take their own wheel; what reaches the panel came from its
    // background, its groups or its arrows. Wheel up shows what is above.
    const int delta = event->angleDelta().y();
    if (!Scrolls() || delta == 0) {
        event->ignore();
        return;
    }
    event->accept();
    ScrollBy(delta > 0 ? -kScrollStep : kScrollStep);
}

CSelectorButton* CPanelDlg::Selector(int id) const
{
    for (const auto& [known, selector] : m_selectors)
        if (known == id && selector)
            return selector;
    CSelectorButton* selector = ControlAs<CSelectorButton>(const_cast<CPanelDlg*>(this), id);
    if (selector)
        m_selectors.emplace_back(id, selector);
    return selector;
}

void CPanelDlg::SetNotifications(std::span<const PanelNotification> notifications)
{
    m_notifications.assign(notifications.begin(), notifications.end());
}

void CPanelDlg::SetSettings(std::span<const PanelSetting> writeOrder, std::span<const PanelSetting> testOrder)
{
    m_writeOrder.assign(writeOrder.begin(), writeOrder.end());
    if (testOrder.empty())
        m_testOrder = m_writeOrder;
    else
        m_testOrder.assign(testOrder.begin(), testOrder.end());
}

void CPanelDlg::OnControl(int id)
{
    for (const PanelNotification& notification : m_notifications) {
        if (notification.id == id) {
            Notify(notification.code, notification.delivery);
            return;
        }
    }
}

void CPanelDlg::Notify(int code, Delivery delivery)
{
    if (delivery == Delivery::Send)
        SendAppMessage(m_view, WM_PANEL_NOTIFY, quintptr(code), 0);
    else
        PostAppMessage(m_view, WM_PANEL_NOTIFY, quintptr(code), 0);
}

void CPanelDlg::RegridOffset(int offsetId, int divisionId)
{
    CSelectorButton* offset = Selector(offsetId);
    const CSelectorButton* division = Selector(divisionId);
    if (!offset || !division)
        return;
    const double step = ParseWithPrefix(division->CurrentText());
    if (!(step > 0.0))
        return;
    offset->SetNumeric(step, offset->IsNumeric() ? offset->NumericValue() : 0.0);
    offset->update();
}

QRect CPanelDlg::Placement(const QRect& viewRect, int panelWidth)
{
    return QRect(viewRect.left() - panelWidth, viewRect.top(), panelWidth, viewRect.height() + kStripHeight);
}

void CPanelDlg::PlaceBeside(const QRect& viewRect) { setGeometry(Placement(viewRect, Ctx().panelWidth)); }

bool CPanelDlg::MatchKey(const QString& line, const QString& key, QString* rest)
{
    for (qsizetype i = 0; i < key.size(); ++i) {
        if (i >= line.size() || line[i] != key[i])
            return false;
        if (key[i] == QLatin1Char(':')) {
            if (rest)
                *rest = line.mid(i + 1);
            return true;
        }
    }
    if (rest)
        *rest = line.mid(key.size());
    return true;
}

void CPanelDlg::SerializePanel(TextArchive& archive)
{
    if (archive.IsStoring()) {
        for (const PanelSetting& setting : m_writeOrder) {
            if (CSelectorButton* selector = Selector(setting.id))
                selector->SerializeLine(archive, QString::fromLatin1(setting.key), false);
        }
        return;
    }
    if (archive.IsLoading())
        LoadLines(archive);
}

void CPanelDlg::LoadLines(TextArchive& archive)
{
    QString line;
    QString rest;
    while (archive.ReadLine(line) && !TextArchive::IsBlockEnd(line)) {
        for (const PanelSetting& setting : m_testOrder) {
            if (!MatchKey(line, QString::fromLatin1(setting.key), &rest))
                continue;
            if (CSelectorButton* selector = Selector(setting.id)) {
                selector->SerializeLine(archive, rest, false);
                LineLoaded(setting.id);
            }
            break;
        }
    }
}

QColor CPanelDlg::GroupColour(int groupId, const ColourScheme& colours)
{
    switch (groupId) {
    case GroupChannel1: return colours.trace1;
    case GroupChannel2: return colours.trace2;
    case GroupCursor: return colours.panelAccent;
    default: return colours.panelLine;
    }
}

void CPanelDlg::paintEvent(QPaintEvent*)
{
    const ColourScheme& colours = Ctx().colours;
    QPainter painter(this);
    painter.fillRect(rect(), colours.panelBrush);
    for (int id : kGroupIds) {
        QWidget* group = ControlById(this, id);
        if (!group)
            continue;
        // The group's pixels, outline included, as a 1-pixel pen draws them.
        const QRect place(group->mapTo(this, QPoint(0, 0)), group->size());
        const QRect box = place.adjusted(0, 0, -1, -1);
        painter.setBrush(colours.panelFill);
        if (m_groupOutlines)
            painter.setPen(OutlineColour(id, colours));
        else
            painter.setPen(Qt::NoPen);
        painter.drawRect(m_groupOutlines ? box : place);
    }
}
