#pragma once
// Modal message boxes with fixed texts. Tests install a MessageBoxRecorder,
// which captures every box and answers it without showing anything.

#include <QString>
#include <vector>

class QWidget;

enum class MsgIcon { None, Information, Warning, Error, Question };

// Button sets and answers keep the classic numbers.
enum MsgButtons { MB_OK = 0, MB_OKCANCEL = 1, MB_YESNOCANCEL = 3, MB_YESNO = 4, MB_RETRYCANCEL = 5 };
enum MsgAnswer { IDOK = 1, IDCANCEL = 2, IDRETRY = 4, IDYES = 6, IDNO = 7 };

// Shows the box and returns the answer (an MsgAnswer). The caption defaults
// to the application's name. UI thread only.
int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption = QString(),
                   MsgIcon icon = MsgIcon::None, int buttons = MB_OK);

class MessageBoxRecorder {
public:
    struct Box {
        QString text;
        QString caption;
        MsgIcon icon;
        int buttons;
        int answer;
        QWidget* parent; // the owner the box would have had; compare only, it may be gone
    };

    // Installs itself for the process until destroyed; only one at a time.
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // Answers for the next boxes, in order; without one a box gets its
    // default button (OK, Yes or Retry).
    void QueueAnswer(int answer) { m_answers.push_back(answer); }
    const std::vector<Box>& Boxes() const { return m_boxes; }
    std::vector<QString> Texts() const;
    void Clear() { m_boxes.clear(); }

    // Called by ShowMessageBox while installed.
    int Record(const QString& text, const QString& caption, MsgIcon icon, int buttons,
               QWidget* parent = nullptr);
    static MessageBoxRecorder* Installed();

private:
    std::vector<Box> m_boxes;
    std::vector<int> m_answers;
};
