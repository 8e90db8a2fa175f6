// The attention box that closes itself and the name dialog of a settings set.
#include "panels/attentiondlg.h"
#include "panels/setnamedlg.h"
#include "context/appcontext.h"
#include "platform/dialogtemplate.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(AttentionDialog, ClosesItselfWithOkAfterItsTimeout)
{
    ResetContext();
    DialogRecorder dialogs;
    QElapsedTimer clock;
    bool closedByItself = false;
    // The handler only waits: the dialog must close on its own.
    dialogs.QueueHandler([&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Attention");
        EXPECT_EQ(ControlAs<QLabel>(&dialog, CAttentionDlg::kTextId)->text(), "Set avg must to auto");
        EXPECT_EQ(ControlAs<QLabel>(&dialog, CAttentionDlg::kTextId)->alignment(), Qt::AlignCenter);
        EXPECT_FALSE(ControlById(&dialog, IDOK)->isVisible());
        EXPECT_FALSE(ControlById(&dialog, IDCANCEL)->isVisible());
        EXPECT_EQ(dialog.size(), DialogSizeToPixels(186, 68));
        clock.start();
        closedByItself = QTest::qWaitFor([&] { return !dialog.isVisible(); }, 5000);
    });
    const int result = CAttentionDlg::Show(nullptr, QStringLiteral("Set avg must to auto"), 1000);
    EXPECT_TRUE(closedByItself);
    EXPECT_EQ(result, QDialog::Accepted);
    // About one second: not before it, and not much later (a loaded machine
    // may deliver the timer late).
    EXPECT_GE(clock.elapsed(), 950);
    EXPECT_LT(clock.elapsed(), 4000);
}

TEST(AttentionDialog, WithoutTimeoutItWaitsForTheUser)
{
    ResetContext();
    CAttentionDlg dialog(nullptr, QStringLiteral("Note"), 0);
    dialog.open();
    QTest::qWait(50);
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(SetNameDialog, SixteenCharactersPassSeventeenAreRefused)
{
    ResetContext();
    MessageBoxRecorder boxes;
    CSetNameDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Setting name for save");
    EXPECT_EQ(dialog.size(), DialogSizeToPixels(124, 30));
    auto* edit = ControlAs<QLineEdit>(&dialog, CSetNameDlg::kEditId);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->geometry(), DialogUnitsToPixels(7, 7, 79, 15));
    dialog.SetName(QStringLiteral("Set 1"));
    dialog.open();
    EXPECT_EQ(edit->text(), "Set 1");

    edit->clear();
    QTest::keyClicks(edit, "seventeen chars!!");
    QTest::mouseClick(ControlAs<QPushButton>(&dialog, IDOK), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(boxes.Texts(), std::vector<QString>{"Enter no more than 16 characters."});
    EXPECT_EQ(dialog.Name(), "Set 1");
    EXPECT_EQ(edit->selectedText(), "seventeen chars!!");

    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Name(), "seventeen chars!");
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST(SetNameDialog, EditNameRunsTheDialogAndTakesTheNameAfterOk)
{
    ResetContext();
    DialogRecorder dialogs;
    dialogs.QueueHandler([](QDialog& dialog) {
        auto* edit = ControlAs<QLineEdit>(&dialog, CSetNameDlg::kEditId);
        EXPECT_EQ(edit->text(), "old");
        edit->setText(QStringLiteral("Run-up"));
        QTest::mouseClick(ControlAs<QPushButton>(&dialog, IDOK), Qt::LeftButton);
    });
    dialogs.QueueHandler([](QDialog& dialog) { dialog.reject(); });
    QString name = QStringLiteral("old");
    EXPECT_TRUE(CSetNameDlg::EditName(nullptr, name));
    EXPECT_EQ(name, "Run-up");
    EXPECT_FALSE(CSetNameDlg::EditName(nullptr, name));
    EXPECT_EQ(name, "Run-up");
    ASSERT_EQ(dialogs.Runs().size(), 2u);
    EXPECT_EQ(dialogs.Runs()[0].className, "CSetNameDlg");
}
