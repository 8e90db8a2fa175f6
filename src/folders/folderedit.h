#pragma once
// The folder field of the folder picker: a line edit that takes every key
// itself, so that Enter and Tab reach it instead of the dialog, and tells
// the picker what it did.

#include <QLineEdit>

class CFolderEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CFolderEdit(QWidget* parent = nullptr);

signals:
    void TabPressed();
    void EnterPressed();
    // After the field has taken the key: Delete, or a character (Backspace
    // included; its flag tells).
    void DeletePressed();
    void CharacterTyped(bool backspace);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
