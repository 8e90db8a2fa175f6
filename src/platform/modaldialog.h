#pragma once
// Modal dialogs. RunModalDialog shows a dialog modally and returns its
// result; tests install a DialogRecorder, which shows the dialog without a
// modal loop of its own, lets a handler drive it (QTest input, accept(),
// reject(), or waiting until it closes itself) and returns its result, so
// that no test ever blocks on a dialog.

#include <QString>
#include <deque>
#include <functional>
#include <vector>

class QDialog;

// exec() of the dialog, or the installed recorder's run; returns the
// dialog's result (QDialog::Accepted or Rejected). UI thread only.
int RunModalDialog(QDialog& dialog);

class DialogRecorder {
public:
    // Drives one shown dialog; a dialog still open when it returns is
    // rejected, as closing its window would.
    using Handler = std::function<void(QDialog& dialog)>;

    struct Run {
        QString title;
        QString className;
        int result;
    };

    // Installs itself for the process until destroyed; only one at a time.
    DialogRecorder();
    ~DialogRecorder();
    DialogRecorder(const DialogRecorder&) = delete;
    DialogRecorder& operator=(const DialogRecorder&) = delete;

    // Handlers for the next dialogs, in the order they open (a dialog that
    // opens inside a handler takes the next one). Without a queued handler
    // the default handler runs; without that the dialog is accepted as it is.
    void QueueHandler(Handler handler) { m_handlers.push_back(std::move(handler)); }
    void SetDefaultHandler(Handler handler) { m_default = std::move(handler); }
    const std::vector<Run>& Runs() const { return m_runs; }
    void Clear() { m_runs.clear(); }

    // Called by RunModalDialog while installed.
    int RunDialog(QDialog& dialog);
    static DialogRecorder* Installed();

private:
    std::vector<Run> m_runs;
    std::deque<Handler> m_handlers;
    Handler m_default;
};
