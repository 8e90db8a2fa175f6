#include "togglebutton.h"

#include "fittedtext.h"
#include "scalecolor.h"

#include <QMouseEvent>
#include <QPainter>

CToggleButton::CToggleButton(QWidget* parent) : CToggleButton(QString(), parent) {}

CToggleButton::CToggleButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAutoDefault(false);
}

void CToggleButton::SetColors(const QColor& offFace, const QColor& offText, const QColor& onFace,
                              const QColor& onText)
{
    m_offFace = offFace;
    m_offText = offText;
    m_onFace = onFace;
    m_onText = onText;
    update();
}

void CToggleButton::SetState(bool on)
{
    m_on = on;
    update();
}

QString CToggleButton::Caption() const
{
    if (m_runStopCaption)
        return m_on ? QStringLiteral("Stop") : QStringLiteral("Run");
    return text();
}

QRect CToggleButton::CaptionRect() const
{
    QRect r = rect();
    if (m_lamp)
        r.setLeft(r.left() + height());
    return r;
}

QRect CToggleButton::LampRect() const
{
    // From the inner rectangle's top left, one row height square.
    int h = height() - 3;
    return QRect(1, 1, h, h);
}

void CToggleButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRgb face = (m_on ? m_onFace : m_offFace).rgb();
    const double m = hasFocus() ? 1.5 : 1.0;
    const bool pressed = isDown();
    const int h = height() - 3;
    for (int k = 0; k <= h; ++k) {
        double f = 0.0;
        if (h > 0)
            f = (pressed ? k : h - k) * m / (1.25 * h);
        painter.fillRect(0, k, width() - 1, 1, QColor::fromRgb(ScaleColor(face, f + 0.8)));
    }
    if (m_lamp && !m_on) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::black);
        painter.setBrush(QColor(255, 0, 0));
        painter.drawEllipse(QRectF(LampRect()).adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    painter.setFont(font());
    painter.setPen(m_on ? m_onText : m_offText);
    DrawFittedText(painter, CaptionRect(), Qt::AlignCenter | Qt::TextSingleLine, Caption());
}

void CToggleButton::mouseMoveEvent(QMouseEvent* event)
{
    // The brighter focused look follows the mouse.
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    QPushButton::mouseMoveEvent(event);
}
