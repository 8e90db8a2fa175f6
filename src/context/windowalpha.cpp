#include "windowalpha.h"

#include <QVariant>
#include <QWidget>
#include <algorithm>

namespace {
constexpr const char* kTranslucent = "krvTranslucent";
constexpr const char* kAlpha = "krvAlpha";

void ApplyAlpha(QWidget* window, int alpha)
{
    alpha = std::clamp(alpha, 0, 255);
    window->setProperty(kAlpha, alpha);
    if (window->isWindow())
        window->setWindowOpacity(alpha / 255.0);
    window->update();
}
} // namespace

void ToggleWindowAlpha(QWidget* window, int alpha)
{
    if (!window)
        return;
    bool on = !IsWindowTranslucent(window);
    window->setProperty(kTranslucent, on);
    if (on) {
        ApplyAlpha(window, alpha);
    } else {
        window->setProperty(kAlpha, QVariant());
        if (window->isWindow())
            window->setWindowOpacity(1.0);
        window->update();
    }
}

void SetWindowAlpha(QWidget* window, int alpha)
{
    if (window && IsWindowTranslucent(window))
        ApplyAlpha(window, alpha);
}

bool IsWindowTranslucent(const QWidget* window)
{
    return window && window->property(kTranslucent).toBool();
}

int WindowAlpha(const QWidget* window)
{
    if (!IsWindowTranslucent(window))
        return 255;
    return window->property(kAlpha).toInt();
}

double PaintOpacity(const QWidget* window)
{
    // A top-level window is blended by the window system already.
    if (!window || window->isWindow())
        return 1.0;
    return WindowAlpha(window) / 255.0;
}
