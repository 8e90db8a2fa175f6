#include "windowplacement.h"

#include "platform/profile.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace {
const QString kSection = QStringLiteral("Window size");
// How long a window manager gets to maximise a new window before the
// window sizes itself.
constexpr int kMaximiseSettleMs = 750;
// Decorations and panels a window manager may leave beside a maximised frame.
constexpr int kCoverSlack = 48;
// On a window that sized itself to the screen because nothing maximised it:
// the geometry it took and the normal rectangle it was to be restored to.
constexpr const char* kFillProperty = "krvScreenFill";
constexpr const char* kNormalProperty = "krvNormalBeforeFill";

// The decimal number at a position, as atoi reads it: blanks, a sign,
// digits; 0 when there is none.
int NumberAt(const QString& text, int position)
{
    int i = position;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    long long value = 0;
    while (i < text.size() && text[i].isDigit() && value < 1000000)
        value = value * 10 + text[i++].digitValue();
    return int(negative ? -value : value);
}
} // namespace

WindowPlacement ParsePlacementRect(const QString& text)
{
    WindowPlacement placement;
    if (text.isEmpty())
        return placement;
    placement.left = NumberAt(text, 0);
    placement.top = NumberAt(text, 5);
    placement.right = NumberAt(text, 10);
    placement.bottom = NumberAt(text, 15);
    return placement;
}

QString FormatPlacementRect(const WindowPlacement& p)
{
    return QString::asprintf("%04d %04d %04d %04d", p.left, p.top, p.right, p.bottom);
}

WindowPlacement ReadWindowPlacement()
{
    WindowPlacement placement = ParsePlacementRect(Profile::GetString(kSection, QStringLiteral("Rechteck")));
    placement.icon = Profile::GetInt(kSection, QStringLiteral("icon"), 0) != 0;
    placement.maximized = Profile::GetInt(kSection, QStringLiteral("maximized"), 1) != 0;
    return placement;
}

void WriteWindowPlacement(const WindowPlacement& placement)
{
    Profile::WriteString(kSection, QStringLiteral("Rechteck"), FormatPlacementRect(placement));
    Profile::WriteInt(kSection, QStringLiteral("icon"), placement.icon ? 1 : 0);
    Profile::WriteInt(kSection, QStringLiteral("maximized"), placement.maximized ? 1 : 0);
}

WindowPlacement PlacementOf(const QWidget* window)
{
    WindowPlacement placement;
    QRect normal = window->normalGeometry();
    if (!normal.isValid())
        normal = window->geometry();
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    Qt::WindowStates state = window->windowState();
    placement.icon = state.testFlag(Qt::WindowMinimized);
    placement.maximized = state.testFlag(Qt::WindowMaximized);
    // Still where it went in place of being maximised: it is stored as the
    // maximised window it was meant to be, over its old normal rectangle.
    const QVariant fill = window->property(kFillProperty);
    if (!placement.maximized && !placement.icon && fill.isValid() && fill.toRect() == window->geometry()) {
        const QRect before = window->property(kNormalProperty).toRect();
        placement.left = before.left();
        placement.top = before.top();
        placement.right = before.left() + before.width();
        placement.bottom = before.top() + before.height();
        placement.maximized = true;
    }
    return placement;
}

QRect KeptOnScreen(const QRect& normal)
{
    // A rectangle stored with a monitor that is gone would open the window
    // where nobody can reach it: it then moves onto the primary screen.
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return normal;
    for (const QScreen* screen : screens) {
        if (screen->availableGeometry().intersects(normal))
            return normal;
    }
    QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QRect moved = normal;
    moved.moveTopLeft(available.topLeft() + QPoint(10, 10));
    return moved;
}

void ApplyPlacement(QWidget* window, const WindowPlacement& placement, int minimumWidth)
{
    // The normal geometry is taken from the window while it is in no state.
    window->setWindowState(Qt::WindowNoState);
    QRect normal = placement.NormalRect();
    if (normal.width() > 0 && normal.height() > 0)
        window->setGeometry(KeptOnScreen(normal));
    Qt::WindowStates state = Qt::WindowNoState;
    if (placement.maximized)
        state |= Qt::WindowMaximized;
    if (placement.icon) {
        state |= Qt::WindowMinimized;
        window->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    window->setWindowState(state);
    window->show();
    window->setAttribute(Qt::WA_ShowWithoutActivating, false);
    if (placement.maximized && !placement.icon) {
        // Without a window manager the maximised state is only a wish and
        // the window would stay at its small normal rectangle.
        QTimer::singleShot(kMaximiseSettleMs, window, [window = QPointer<QWidget>(window), minimumWidth] {
            if (window)
                FillScreenIfNotMaximised(window, minimumWidth);
        });
    }
}

QRect ScreenFill(const QRect& available, int minimumWidth)
{
    return QRect(available.topLeft(), QSize(std::max(available.width(), minimumWidth), available.height()));
}

bool CoversScreen(const QRect& frame, const QRect& available)
{
    return frame.width() >= available.width() - kCoverSlack && frame.height() >= available.height() - kCoverSlack;
}

bool FillScreenIfNotMaximised(QWidget* window, int minimumWidth)
{
    // The user may have restored or minimised it meanwhile.
    if (!window->isMaximized() || window->isMinimized())
        return false;
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    const QRect available = screen->availableGeometry();
    if (CoversScreen(window->frameGeometry(), available))
        return false;
    const QRect normal = window->normalGeometry();
    const QRect fill = ScreenFill(available, minimumWidth);
    // Setting the geometry ends the maximised state the window system ignored.
    window->setGeometry(fill);
    window->setProperty(kFillProperty, window->geometry());
    window->setProperty(kNormalProperty, normal);
    return true;
}

void RestoreWindowPlacement(QWidget* window, int minimumWidth)
{
    ApplyPlacement(window, ReadWindowPlacement(), minimumWidth);
}

void SaveWindowPlacement(const QWidget* window) { WriteWindowPlacement(PlacementOf(window)); }
