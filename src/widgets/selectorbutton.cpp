#include "selectorbutton.h"

#include "numericdrum.h"
#include "platform/textarchive.h"
#include "context/parsewithprefix.h"
#include "fittedtext.h"
#include "scalecolor.h"
#include "context/appcontext.h"
#include "context/formatwithprefix.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWheelEvent>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

// The largest grid index a settings line may set, either sign: far beyond
// any panel's grid, and far enough from the int limits that wheel steps and
// the drum's rows around it cannot overflow.
constexpr int kMaxGridIndex = 1000000;

// One number of a "#" line; false when there is none at p.
bool ReadNumber(const char*& p, const char* end, double& value)
{
    auto [next, error] = std::from_chars(p, end, value, std::chars_format::general);
    if (error != std::errc())
        return false;
    p = next;
    return true;
}

bool ReadInt(const char*& p, const char* end, int& value)
{
    if (p < end && *p == '+')
        ++p;
    auto [next, error] = std::from_chars(p, end, value);
    if (error != std::errc())
        return false;
    p = next;
    return true;
}

} // namespace

CSelectorButton::CSelectorButton(QWidget* parent) : CSelectorButton(QString(), parent) {}

CSelectorButton::CSelectorButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAutoDefault(false);
}

void CSelectorButton::AddItem(const QString& text, int key)
{
    m_items.append(text);
    m_captions.append(QString());
    m_keys.push_back(key);
    m_numeric = false;
}

void CSelectorButton::SelectText(const QString& text)
{
    int index = int(m_items.indexOf(text));
    if (index < 0 && !text.isEmpty())
        index = int(m_captions.indexOf(text));
    m_current = index < 0 ? 0 : index;
    update();
}

void CSelectorButton::SelectKey(int key, bool notify)
{
    for (int i = 0; i < Count(); ++i) {
        if (m_keys[i] != key)
            continue;
        m_current = i;
        update();
        if (notify) {
            m_passNext = true;
            SendClick();
        }
        return;
    }
}

QString CSelectorButton::CurrentText() const
{
    if (m_current < 0 || m_current >= Count())
        return QStringLiteral("Error");
    return m_items[m_current];
}

int CSelectorButton::CurrentKey() const
{
    if (m_current < 0 || m_current >= Count())
        return -1;
    return m_keys[m_current];
}

void CSelectorButton::SetNumeric(double step, double value)
{
    m_step = step;
    m_numeric = true;
    m_current = 0;
    // The grid point nearest to the value, halves rounded up. Rounding with
    // floor keeps negative values that lie on the grid on it (truncation
    // would put -10 on a grid of 5 at -5). A zero step has no grid; the
    // offset then is the value itself.
    m_offset = step != 0.0 ? step * std::floor(value / step + 0.5) : value;
    m_value = value;
    update();
}

void CSelectorButton::SelectAtLeast(double x)
{
    if (Count() < 2)
        return;
    auto qualifies = [x](double v) { return ApproximatelyEqual(v, x) || v > x; };
    bool ascending = ParseWithPrefix(m_items[0]) < ParseWithPrefix(m_items[1]);
    if (ascending) {
        for (int i = 0; i < Count(); ++i) {
            if (qualifies(ParseWithPrefix(m_items[i]))) {
                SelectText(m_items[i]);
                return;
            }
        }
    } else {
        for (int i = Count() - 1; i >= 0; --i) {
            if (qualifies(ParseWithPrefix(m_items[i]))) {
                SelectText(m_items[i]);
                return;
            }
        }
    }
}

void CSelectorButton::SelectNearest(double x)
{
    if (Count() < 1)
        return;
    double best = 1e35;
    int bestIndex = 0;
    for (int i = 0; i < Count(); ++i) {
        double distance = std::fabs(ParseWithPrefix(m_items[i]) - x);
        if (distance < best) {
            best = distance;
            bestIndex = i;
        }
    }
    SelectText(m_items[bestIndex]);
}

void CSelectorButton::ClearItems()
{
    m_items.clear();
    m_captions.clear();
    m_keys.clear();
}

void CSelectorButton::SetItemCaption(const QString& text, const QString& caption)
{
    const int index = int(m_items.indexOf(text));
    if (index < 0)
        return;
    m_captions[index] = caption;
    update();
}

QString CSelectorButton::ItemCaption(int index) const
{
    if (index < 0 || index >= Count())
        return QString();
    return m_captions[index].isEmpty() ? m_items[index] : m_captions[index];
}

void CSelectorButton::SetLabelWidth(int pixels)
{
    m_labelWidth = pixels;
    update();
}

void CSelectorButton::SetEnabled(bool enabled)
{
    m_enabled = enabled;
    update();
}

QString CSelectorButton::LineText(const QString& key) const
{
    if (m_items.isEmpty())
        return key + QString::asprintf("#%.9g,%.9g,%d", m_offset, m_step, m_current);
    return key + QLatin1Char('$') + CurrentText();
}

QString CSelectorButton::SerializeLine(const QString& key) const { return LineText(key) + QStringLiteral("\r\n"); }

void CSelectorButton::SerializeLine(TextArchive& archive, const QString& keyOrRest, bool notify)
{
    if (archive.IsStoring())
        archive.WriteLine(LineText(keyOrRest));
    else
        ApplySettingsLine(keyOrRest, notify);
}

void CSelectorButton::ApplySettingsLine(const QString& rest, bool notify)
{
    if (rest.startsWith(QLatin1Char('$'))) {
        SelectText(rest.mid(1));
        if (notify) {
            // Without passNext the sent click would open the drum.
            m_passNext = true;
            SendClick();
        }
        return;
    }
    if (!rest.startsWith(QLatin1Char('#')))
        return;
    QByteArray line = rest.toLatin1();
    const char* p = line.constData() + 1;
    const char* end = line.constData() + line.size();
    double offset = 0, step = 0;
    int index = 0;
    // offset, one separator, step, one separator, index.
    if (!ReadNumber(p, end, offset) || p >= end || !ReadNumber(++p, end, step) || p >= end
        || !ReadInt(++p, end, index) || index < -kMaxGridIndex || index > kMaxGridIndex)
        return;
    m_offset = offset;
    m_step = step;
    m_current = index;
    m_value = CNumericDrum::GridValue(index, step, offset);
    // A stored index past the items would make the drawn text read outside them.
    if (Count() > 0)
        m_current = std::clamp(m_current, 0, Count() - 1);
    update();
}

QString CSelectorButton::NumericText(double value)
{
    const EngineeringPrefix prefix = ChoosePrefix(value, true);
    return QString::asprintf("%0.3g%s", value * prefix.factor, prefix.prefix);
}

// ---- press handling --------------------------------------------------------

bool CSelectorButton::HandlePress()
{
    if (m_passNext) {
        m_passNext = false;
        return true;
    }
    if (!m_stepPending) {
        if (m_enabled)
            ChooseWithDrum();
        return false;
    }
    m_stepPending = false;
    if (!m_enabled)
        return false;
    setFocus(Qt::OtherFocusReason);
    StepOnce();
    return true;
}

void CSelectorButton::SendClick()
{
    if (HandlePress())
        click();
}

void CSelectorButton::ChooseWithDrum()
{
    QPointer<CSelectorButton> self(this);
    QStringList shown;
    for (int i = 0; i < Count(); ++i)
        shown.append(ItemCaption(i));
    CNumericDrum drum(this, shown, m_current, m_step, m_offset);
    int result = drum.Run();
    // The drum's event loop ran every timer; the panel may have gone.
    if (!self)
        return;
    if (Count() > 0) {
        if (result < 0 || result >= Count())
            return;
        SelectText(m_items[result]);
    } else {
        if (result < -1000000)
            return;
        m_current = result;
        m_value = CNumericDrum::GridValue(result, m_step, m_offset);
        update();
    }
    // The choice is accepted even when it equals the old value.
    m_passNext = true;
    SendClick();
}

void CSelectorButton::StepOnce()
{
    if (m_numeric) {
        m_current += m_direction;
        double next = CNumericDrum::GridValue(m_current, m_step, m_offset);
        // Crossing zero stops at zero once; the index moves on regardless.
        m_value = next * m_value < 0 ? 0.0 : next;
        return;
    }
    const int last = Count() - 1;
    if (last < 0)
        return;
    if (m_direction > 0) {
        ++m_current;
        if (m_current > last)
            m_current = m_wrap ? 0 : last;
    } else {
        --m_current;
        if (m_current < 0)
            m_current = m_wrap ? last : 0;
    }
}

void CSelectorButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    if (HandlePress())
        QPushButton::mousePressEvent(event);
    else
        event->accept();
}

void CSelectorButton::mouseMoveEvent(QMouseEvent* event)
{
    // The focused selector is the one under the mouse, so the wheel acts on it.
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    QPushButton::mouseMoveEvent(event);
}

void CSelectorButton::wheelEvent(QWheelEvent* event)
{
    event->accept();
    const int d = event->angleDelta().y();
    // Touchpads send zero-delta events at the start and end of a gesture, and
    // horizontal turns carry no vertical delta: neither is a step.
    if (d == 0)
        return;
    int steps = std::abs(d / 100);
    if (steps == 0)
        steps = 1;
    QPointer<CSelectorButton> self(this);
    for (int i = 0; i < steps && self; ++i) {
        m_direction = d > 0 ? 1 : -1;
        m_stepPending = true;
        SendClick();
    }
    if (self)
        update();
}

// ---- drawing ---------------------------------------------------------------

QString CSelectorButton::ValueText() const
{
    if (m_numeric)
        return NumericText(m_value);
    return ItemCaption(m_current);
}

void CSelectorButton::paintEvent(QPaintEvent*)
{
    const ColourScheme& colours = Ctx().colours;
    const bool focused = hasFocus();
    const int w = width();
    const int h = height();
    const int lw = m_labelWidth;
    QPainter painter(this);

    // Face inside the value outline, whose corners are (lw, 0) and (w-1, h-1).
    painter.fillRect(lw + 1, 1, w - 2 - lw, h - 2, focused ? QColor(255, 255, 192) : colours.selectorFirst);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(lw, 0, w - 1 - lw, h - 1);

    // Label gradient: factor 1.6 in the top row falling to 0.8 in the last.
    const QRgb base = focused ? qRgb(112, 112, 112) : qRgb(96, 96, 96);
    const int rows = h - 3;
    for (int k = 0; k <= rows; ++k) {
        double factor = rows > 0 ? (rows - k) / (1.25 * rows) + 0.8 : 1.6;
        painter.fillRect(0, k, lw, 1, QColor::fromRgb(ScaleColor(base, factor)));
    }
    painter.fillRect(0, rows + 1, lw, 1, Qt::black);

    painter.setFont(font());
    painter.setPen(Qt::white);
    DrawFittedText(painter, QRect(0, 0, lw, h), Qt::AlignCenter | Qt::TextSingleLine, text());

    QColor valueColour = focused ? QColor(Qt::black) : (m_enabled ? colours.drumLight : colours.drumDark);
    painter.setPen(valueColour);
    DrawFittedText(painter, QRect(lw, 0, w - 1 - lw, h - 1), Qt::AlignCenter | Qt::TextSingleLine, ValueText());
}
