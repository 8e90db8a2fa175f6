#include "p0dlg.h"

#include "platform/dialogtemplate.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"

#include <QLabel>
#include <QLineEdit>

namespace {
constexpr int kP0LabelId = 1101;
constexpr int kNoteId = 1102;

const DialogControl kTemplate[] = {
    {kP0LabelId, ControlKind::Label, "p0", 16, 17, 18, 10},
    {CP0Dlg::kEditId, ControlKind::Edit, "", 37, 15, 40, 14},
    {IDOK, ControlKind::DefaultButton, "OK", 129, 7, 50, 14},
    {IDCANCEL, ControlKind::Button, "Cancel", 129, 24, 50, 14},
    {kNoteId, ControlKind::Label,
     "p0 is needed for calculation of logarithmic level.\ne.G      0.00002 Pascal for acoustics", 7, 48, 176,
     40},
};
} // namespace

CP0Dlg::CP0Dlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("define p0"));
    setObjectName(QStringLiteral("dialog%1").arg(kTemplateId));
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    BuildDialog(this, kTemplate);
    setFixedSize(DialogSizeToPixels(186, 98));
    m_edit = ControlAs<QLineEdit>(this, kEditId);
    // The note keeps its run of blanks.
    auto* note = ControlAs<QLabel>(this, kNoteId);
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(false);
    m_edit->setFocus();
}

void CP0Dlg::SetP0Text(const QString& text)
{
    m_p0Text = text;
    m_edit->setText(text);
}

void CP0Dlg::accept()
{
    m_p0Text = m_edit->text();
    QDialog::accept();
}

bool CP0Dlg::EditP0(QWidget* parent, QString& text)
{
    CP0Dlg dialog(parent);
    dialog.SetP0Text(text);
    if (RunModalDialog(dialog) != QDialog::Accepted)
        return false;
    text = dialog.P0Text();
    return true;
}
