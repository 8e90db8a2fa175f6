#include "messagebox.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {
MessageBoxRecorder* g_recorder = nullptr;

int DefaultAnswer(int buttons)
{
    switch (buttons) {
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
    }
}

QMessageBox::StandardButtons QtButtons(int buttons)
{
    switch (buttons) {
    case MB_OKCANCEL: return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_YESNOCANCEL: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO: return QMessageBox::Yes | QMessageBox::No;
    case MB_RETRYCANCEL: return QMessageBox::Retry | QMessageBox::Cancel;
    default: return QMessageBox::Ok;
    }
}

QMessageBox::Icon QtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::Error: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    default: return QMessageBox::NoIcon;
    }
}

int Answer(int qtButton)
{
    switch (qtButton) {
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Retry: return IDRETRY;
    default: return IDOK;
    }
}
} // namespace

int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, MsgIcon icon, int buttons)
{
    QString title = caption.isEmpty() ? QCoreApplication::applicationName() : caption;
    if (g_recorder)
        return g_recorder->Record(text, title, icon, buttons, parent);
    QMessageBox box(QtIcon(icon), title, text, QtButtons(buttons), parent);
    return Answer(box.exec());
}

MessageBoxRecorder::MessageBoxRecorder() { g_recorder = this; }

MessageBoxRecorder::~MessageBoxRecorder()
{
    if (g_recorder == this)
        g_recorder = nullptr;
}

std::vector<QString> MessageBoxRecorder::Texts() const
{
    std::vector<QString> texts;
    for (const Box& box : m_boxes)
        texts.push_back(box.text);
    return texts;
}

int MessageBoxRecorder::Record(const QString& text, const QString& caption, MsgIcon icon, int buttons,
                               QWidget* parent)
{
    int answer = DefaultAnswer(buttons);
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.erase(m_answers.begin());
    }
    m_boxes.push_back({text, caption, icon, buttons, answer, parent});
    return answer;
}

MessageBoxRecorder* MessageBoxRecorder::Installed() { return g_recorder; }
