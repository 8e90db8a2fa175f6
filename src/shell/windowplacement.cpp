#include "windowplacement.h"

#include "platform/profile.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
const QString kSection = QStringLiteral("Window size");

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

void ApplyPlacement(QWidget* window, const WindowPlacement& placement)
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
}

void RestoreWindowPlacement(QWidget* window) { ApplyPlacement(window, ReadWindowPlacement()); }

void SaveWindowPlacement(const QWidget* window) { WriteWindowPlacement(PlacementOf(window)); }
