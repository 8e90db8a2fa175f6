#include "dialogtemplate.h"

#include "messagebox.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVariant>

namespace {
constexpr const char* kIdProperty = "krvControlId";

QWidget* MakeStandard(const DialogControl& control, QWidget* parent)
{
    const QString caption = QString::fromUtf8(control.caption ? control.caption : "");
    switch (control.kind) {
    case ControlKind::Button:
    case ControlKind::DefaultButton: {
        auto* button = new QPushButton(caption, parent);
        button->setAutoDefault(false);
        button->setDefault(control.kind == ControlKind::DefaultButton);
        return button;
    }
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(parent);
        edit->setText(caption);
        return edit;
    }
    case ControlKind::Label:
    case ControlKind::CentredLabel: {
        auto* label = new QLabel(caption, parent);
        label->setWordWrap(true);
        label->setAlignment(control.kind == ControlKind::CentredLabel ? Qt::AlignCenter
                                                                       : Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::GroupBox: return new QGroupBox(caption, parent);
    case ControlKind::Frame: {
        auto* frame = new QWidget(parent);
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
        frame->hide();
        return frame;
    }
    case ControlKind::CheckBox: return new QCheckBox(caption, parent);
    default: return nullptr;
    }
}
} // namespace

QRect DialogUnitsToPixels(int x, int y, int w, int h)
{
    return QRect(x * 6 / 4, y * 13 / 8, w * 6 / 4, h * 13 / 8);
}

QSize DialogSizeToPixels(int w, int h) { return QSize(w * 6 / 4, h * 13 / 8); }

void BuildDialog(QWidget* dialog, std::span<const DialogControl> controls, const ControlFactory& factory)
{
    QWidget* previous = nullptr;
    for (const DialogControl& control : controls) {
        QWidget* widget = factory ? factory(control, dialog) : nullptr;
        if (!widget)
            widget = MakeStandard(control, dialog);
        if (!widget)
            continue;
        if (widget->parentWidget() != dialog)
            widget->setParent(dialog);
        SetControlId(widget, control.id);
        widget->setGeometry(DialogUnitsToPixels(control.x, control.y, control.w, control.h));
        if (control.flags & ControlHidden)
            widget->hide();
        if (control.flags & ControlDisabled)
            widget->setEnabled(false);
        if (previous && widget->focusPolicy() != Qt::NoFocus)
            QWidget::setTabOrder(previous, widget);
        if (widget->focusPolicy() != Qt::NoFocus)
            previous = widget;
        auto* qdialog = qobject_cast<QDialog*>(dialog);
        auto* button = qobject_cast<QAbstractButton*>(widget);
        if (qdialog && button && control.id == IDOK)
            QObject::connect(button, &QAbstractButton::clicked, qdialog, &QDialog::accept);
        if (qdialog && button && control.id == IDCANCEL)
            QObject::connect(button, &QAbstractButton::clicked, qdialog, &QDialog::reject);
    }
}

QWidget* ControlById(QWidget* dialog, int id)
{
    if (!dialog)
        return nullptr;
    // The dialog's own controls first, then those of nested widgets.
    for (auto options : {Qt::FindDirectChildrenOnly, Qt::FindChildrenRecursively}) {
        for (QWidget* child : dialog->findChildren<QWidget*>(QString(), options)) {
            if (ControlId(child) == id)
                return child;
        }
    }
    return nullptr;
}

int ControlId(const QWidget* control)
{
    QVariant id = control ? control->property(kIdProperty) : QVariant();
    return id.isValid() ? id.toInt() : -1;
}

void SetControlId(QWidget* control, int id)
{
    control->setProperty(kIdProperty, id);
    control->setObjectName(QStringLiteral("control%1").arg(id));
}

void ConnectClicks(QWidget* dialog, const std::function<void(int id)>& handler)
{
    const bool isDialog = qobject_cast<QDialog*>(dialog) != nullptr;
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        int id = ControlId(button);
        if (id < 0 || (isDialog && (id == IDOK || id == IDCANCEL)))
            continue;
        QObject::connect(button, &QAbstractButton::clicked, dialog, [handler, id] { handler(id); });
    }
}
