#include "widgetcontrols.h"

#include "selectorbutton.h"
#include "togglebutton.h"

QWidget* CreateWidgetControl(const DialogControl& control, QWidget* parent)
{
    const QString caption = QString::fromUtf8(control.caption ? control.caption : "");
    switch (control.kind) {
    case ControlKind::Selector: return new CSelectorButton(caption, parent);
    case ControlKind::Toggle: return new CToggleButton(caption, parent);
    default: return nullptr;
    }
}
