#pragma once
// "define p0": the reference value of logarithmic levels, edited as text.
// The caller sets the text, runs the dialog and takes the text after OK; the
// text is not validated. UI thread only.

#include <QDialog>

class QLineEdit;

class CP0Dlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 165;
    static constexpr int kEditId = 1100;

    explicit CP0Dlg(QWidget* parent = nullptr);

    void SetP0Text(const QString& text);
    // The text as it was at OK (or as set, before OK).
    const QString& P0Text() const { return m_p0Text; }

    // Runs the dialog modally on text; OK stores the edited text back.
    static bool EditP0(QWidget* parent, QString& text);

    void accept() override;

private:
    QLineEdit* m_edit = nullptr;
    QString m_p0Text;
};
