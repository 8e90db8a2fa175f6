#include "attentiondlg.h"

#include "context/appcontext.h"
#include "platform/dialogtemplate.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"

#include <QLabel>
#include <QTimerEvent>

namespace {
const DialogControl kTemplate[] = {
    {CAttentionDlg::kTextId, ControlKind::CentredLabel, "", 7, 7, 172, 32},
    {IDOK, ControlKind::DefaultButton, "OK", 36, 47, 50, 14, ControlHidden},
    {IDCANCEL, ControlKind::Button, "Cancel", 100, 47, 50, 14, ControlHidden},
};
} // namespace

CAttentionDlg::CAttentionDlg(QWidget* owner, const QString& text, int timeoutMs)
    : QDialog(owner), m_text(text), m_timeoutMs(timeoutMs), m_timers(this)
{
    setWindowTitle(QStringLiteral("Attention"));
    setObjectName(QStringLiteral("dialog%1").arg(kTemplateId));
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    BuildDialog(this, kTemplate);
    setFixedSize(DialogSizeToPixels(186, 68));
    ControlAs<QLabel>(this, kTextId)->setText(text);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setBrush(QPalette::Window, Ctx().colours.panelBrush);
    setPalette(colours);
}

int CAttentionDlg::Show(QWidget* owner, const QString& text, int timeoutMs)
{
    CAttentionDlg dialog(owner, text, timeoutMs);
    return RunModalDialog(dialog);
}

void CAttentionDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_timeoutMs > 0)
        m_timers.SetTimer(kTimeoutTimer, m_timeoutMs);
}

void CAttentionDlg::timerEvent(QTimerEvent* event)
{
    if (m_timers.IdOf(event) != kTimeoutTimer) {
        QDialog::timerEvent(event);
        return;
    }
    m_timers.KillTimer(kTimeoutTimer);
    accept();
}
