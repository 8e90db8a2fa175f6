#include "folderedit.h"

#include <QKeyEvent>

CFolderEdit::CFolderEdit(QWidget* parent) : QLineEdit(parent) {}

bool CFolderEdit::event(QEvent* event)
{
    // Tab would otherwise move the focus along the dialog's chain before
    // keyPressEvent sees it.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            emit TabPressed();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CFolderEdit::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept(); // never the dialog's default button
        emit EnterPressed();
        return;
    case Qt::Key_Delete:
        QLineEdit::keyPressEvent(event);
        emit DeletePressed();
        return;
    case Qt::Key_Backspace:
        QLineEdit::keyPressEvent(event);
        emit CharacterTyped(true);
        return;
    default: break;
    }
    QString text = event->text();
    bool character = !text.isEmpty() && text.at(0).isPrint() && !(event->modifiers() & Qt::ControlModifier);
    QLineEdit::keyPressEvent(event);
    if (character)
        emit CharacterTyped(false);
}
