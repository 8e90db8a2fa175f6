#include "setnamedlg.h"

#include "platform/dialogtemplate.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"

#include <QLineEdit>

namespace {
const DialogControl kTemplate[] = {
    {CSetNameDlg::kEditId, ControlKind::Edit, "", 7, 7, 79, 15},
    {IDOK, ControlKind::DefaultButton, "OK", 89, 7, 28, 14},
};
} // namespace

CSetNameDlg::CSetNameDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Setting name for save"));
    setObjectName(QStringLiteral("dialog%1").arg(kTemplateId));
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    BuildDialog(this, kTemplate);
    setFixedSize(DialogSizeToPixels(124, 30));
    m_edit = ControlAs<QLineEdit>(this, kEditId);
    m_edit->setFocus();
}

void CSetNameDlg::SetName(const QString& name)
{
    m_name = name;
    m_edit->setText(name);
}

void CSetNameDlg::accept()
{
    const QString name = m_edit->text();
    if (name.size() > kMaxChars) {
        ShowMessageBox(this, QStringLiteral("Enter no more than %1 characters.").arg(kMaxChars), QString(),
                       MsgIcon::Warning);
        m_edit->setFocus();
        m_edit->selectAll();
        return;
    }
    m_name = name;
    QDialog::accept();
}

bool CSetNameDlg::EditName(QWidget* parent, QString& name)
{
    CSetNameDlg dialog(parent);
    dialog.SetName(name);
    if (RunModalDialog(dialog) != QDialog::Accepted)
        return false;
    name = dialog.Name();
    return true;
}
