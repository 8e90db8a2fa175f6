#pragma once
// "Setting name for save": the name of a settings set, at most 16
// characters. OK with a longer name says so in a message box and keeps
// the dialog open. The caller sets the name, runs the dialog and takes
// the name after OK. UI thread only.

#include <QDialog>

class QLineEdit;

class CSetNameDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 161;
    static constexpr int kEditId = 1090;
    static constexpr int kMaxChars = 16;

    explicit CSetNameDlg(QWidget* parent = nullptr);

    void SetName(const QString& name);
    // The name as it was at OK (or as set, before OK).
    const QString& Name() const { return m_name; }

    // Runs the dialog modally on name; OK stores the edited name back.
    static bool EditName(QWidget* parent, QString& name);

    void accept() override;

private:
    QLineEdit* m_edit = nullptr;
    QString m_name;
};
