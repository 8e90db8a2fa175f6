#include "modaldialog.h"

#include <QCoreApplication>
#include <QDialog>

namespace {
DialogRecorder* g_recorder = nullptr;
}

int RunModalDialog(QDialog& dialog)
{
    if (g_recorder)
        return g_recorder->RunDialog(dialog);
    return dialog.exec();
}

DialogRecorder::DialogRecorder() { g_recorder = this; }

DialogRecorder::~DialogRecorder()
{
    if (g_recorder == this)
        g_recorder = nullptr;
}

DialogRecorder* DialogRecorder::Installed() { return g_recorder; }

int DialogRecorder::RunDialog(QDialog& dialog)
{
    Handler handler = m_default;
    if (!m_handlers.empty()) {
        handler = std::move(m_handlers.front());
        m_handlers.pop_front();
    }
    // The record is made first, so that dialogs opened by the handler
    // follow the one that opened them.
    const size_t index = m_runs.size();
    m_runs.push_back({dialog.windowTitle(), QString::fromLatin1(dialog.metaObject()->className()),
                      QDialog::Rejected});
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    QCoreApplication::processEvents();
    if (handler)
        handler(dialog);
    else
        dialog.accept();
    if (dialog.isVisible())
        dialog.reject();
    m_runs[index].result = dialog.result();
    return dialog.result();
}
