#include "paneldlg.h"

#include "context/appcontext.h"
#include "context/parsewithprefix.h"
#include "platform/appmessage.h"
#include "platform/textarchive.h"
#include "widgets/selectorbutton.h"
#include "widgets/widgetcontrols.h"

#include <QPainter>

CPanelDlg::CPanelDlg(QWidget* view) : QWidget(view ? view->parentWidget() : nullptr), m_view(view)
{
    hide();
}

void CPanelDlg::Create(std::span<const DialogControl> controls, int width, int height)
{
    BuildDialog(this, controls, CreateWidgetControl);
    resize(DialogSizeToPixels(width, height));
    OnInitDialog();
    ConnectClicks(this, [this](int id) { OnControl(id); });
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
        const QRect box = group->geometry().adjusted(0, 0, -1, -1);
        painter.setBrush(colours.panelFill);
        if (m_groupOutlines)
            painter.setPen(OutlineColour(id, colours));
        else
            painter.setPen(Qt::NoPen);
        painter.drawRect(m_groupOutlines ? box : group->geometry());
    }
}
