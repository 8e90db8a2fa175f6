#include "panels/statusline.h"

#include "context/appcontext.h"
#include "context/formatwithprefix.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
const QString kSeparator = QStringLiteral("  \u00B7  ");
}

CStatusLine::CStatusLine(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CStatusLine"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    Compose();
}

bool CStatusLine::Show(const StatusFacts& facts)
{
    if (facts == m_facts)
        return false;
    // A new failure, or losses counted afresh after a new definition, is news.
    if (facts.recordFailed && !m_facts.recordFailed)
        m_failureSeen = false;
    if (facts.lost < m_lostSeen)
        m_lostSeen = 0;
    m_facts = facts;
    Compose();
    update();
    return true;
}

bool CStatusLine::Alarmed() const
{
    return m_facts.lost > m_lostSeen || (m_facts.recordFailed && !m_failureSeen);
}

void CStatusLine::Acknowledge()
{
    m_lostSeen = m_facts.lost;
    m_failureSeen = true;
    update();
}

void CStatusLine::Compose()
{
    const StatusFacts& f = m_facts;
    QString text = f.source.isEmpty() ? QStringLiteral("no source") : f.source;
    if (f.sampleRate > 0.0) {
        text += kSeparator + FormatWithPrefix(f.sampleRate, 4, QStringLiteral("S/s"));
        if (f.points > 0) {
            const double binSpacing = f.sampleRate / f.points;
            text += kSeparator + QStringLiteral("\u0394f ") + FormatWithPrefix(binSpacing, 4, QStringLiteral("Hz"));
            if (f.noiseBandwidthBins > 0.0)
                text += kSeparator
                    + QStringLiteral("NBW %1 (%2, %3 pts)")
                          .arg(FormatWithPrefix(binSpacing * f.noiseBandwidthBins, 4, QStringLiteral("Hz")), f.window)
                          .arg(f.points);
        }
    }
    const QString asked = f.averagesAsked > 0 ? QString::number(f.averagesAsked) : QStringLiteral("Auto");
    text += kSeparator + QStringLiteral("Avg %1/%2").arg(f.averagesDone).arg(asked);
    if (f.recordLength > 0) {
        text += kSeparator + QStringLiteral("record %1").arg(f.recordLength);
        if (f.sampleRate > 0.0)
            text += QStringLiteral(" (%1)").arg(FormatWithPrefix(f.recordLength / f.sampleRate, 4, QStringLiteral("s")));
    }
    m_measurement = text;
    m_loss = QStringLiteral("lost %1").arg(f.lost);
    if (f.recordFailed)
        m_loss += QStringLiteral("  \u00B7  recording failed");
}

void CStatusLine::paintEvent(QPaintEvent*)
{
    const ColourScheme& colours = Ctx().colours;
    QPainter painter(this);
    painter.fillRect(rect(), colours.graphBackground);
    painter.setPen(colours.widgetLine);
    painter.drawLine(0, 0, width(), 0);
    const QRect box = rect().adjusted(6, 1, -6, 0);
    painter.setPen(colours.graphText);
    QRect used;
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_measurement + kSeparator, &used);
    const QRect lossBox(used.right() + 1, box.y(), std::max(0, box.right() - used.right()), box.height());
    if (Alarmed()) {
        painter.fillRect(lossBox.intersected(QRect(lossBox.x(), box.y(), fontMetrics().horizontalAdvance(m_loss) + 6,
                                                   box.height())),
                         QColor(200, 0, 0));
        painter.setPen(Qt::white);
    }
    painter.drawText(lossBox.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_loss);
}

void CStatusLine::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Acknowledge();
}

QString CStatusLine::TitleText(const QString& source, const QString& setName, bool recording)
{
    QString title = QStringLiteral("KRV");
    if (!source.isEmpty())
        title += QStringLiteral(" \u2014 ") + source;
    if (!setName.isEmpty())
        title += QStringLiteral(" \u2014 ") + setName;
    if (recording)
        title += QStringLiteral("  \u25CF REC");
    return title;
}
