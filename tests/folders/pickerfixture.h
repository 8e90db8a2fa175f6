#pragma once
// A folder picker shown offscreen over a known folder tree, its message boxes
// captured.

#include "folders/folderedit.h"
#include "folders/folderpicker.h"
#include "platform/messagebox.h"
#include "support/testenvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

class PickerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = QString::fromStdString(m_env.Root()) + QStringLiteral("/tree");
        QDir().mkpath(m_root + "/data");
        QDir().mkpath(m_root + "/alpha");
        QDir().mkpath(m_root + "/alps");
        QFile file(m_root + "/file.txt");
        file.open(QIODevice::WriteOnly);
        file.write("x");
        QFile other(m_root + "/dolphin.txt");
        other.open(QIODevice::WriteOnly);
        Open(m_root);
    }

    void Open(const QString& start, const QString& filter = QStringLiteral("Folder (*.vrd)|*.vrd||"))
    {
        m_picker = std::make_unique<CFolderPicker>(start, filter);
        m_picker->show();
        QApplication::setActiveWindow(m_picker.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_picker.get()));
        Field()->setFocus();
    }

    CFolderEdit* Field() const { return m_picker->FolderField(); }
    void ClickOpen() { QTest::mouseClick(m_picker->OpenButton(), Qt::LeftButton); }
    // Puts text into the field as if typed up to its last character, which
    // is typed for real.
    void Type(const QString& text)
    {
        Field()->setText(text.left(text.size() - 1));
        Field()->end(false);
        QTest::keyClicks(Field(), text.right(1));
    }
    bool Accepted() const { return !m_picker->isVisible() && m_picker->result() == QDialog::Accepted; }

    TestEnvironment m_env;
    MessageBoxRecorder m_boxes;
    QString m_root;
    std::unique_ptr<CFolderPicker> m_picker;
};
