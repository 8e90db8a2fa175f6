// The "define p0" dialog and the dialog templates it is built from.
#include "panels/p0dlg.h"
#include "platform/dialogtemplate.h"
#include "platform/messagebox.h"
#include "widgets/selectorbutton.h"
#include "widgets/widgetcontrols.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {
QStringList LabelTexts(QWidget* dialog)
{
    QStringList texts;
    for (QLabel* label : dialog->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}
} // namespace

TEST(P0Dialog, OkStoresTheEditedTextCancelKeepsTheOld)
{
    CP0Dlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "define p0");
    EXPECT_TRUE(LabelTexts(&dialog).contains("p0"));
    EXPECT_TRUE(LabelTexts(&dialog).contains(
        "p0 is needed for calculation of logarithmic level.\ne.G      0.00002 Pascal for acoustics"));
    EXPECT_EQ(dialog.size(), QSize(279, 159));

    dialog.SetP0Text(QStringLiteral("0.00002"));
    dialog.open();
    auto* edit = ControlAs<QLineEdit>(&dialog, CP0Dlg::kEditId);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "0.00002");
    EXPECT_EQ(edit->geometry(), QRect(55, 24, 60, 22));
    edit->clear();
    QTest::keyClicks(edit, "1e-6 not checked");
    QTest::mouseClick(ControlAs<QPushButton>(&dialog, IDOK), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.P0Text(), "1e-6 not checked");

    CP0Dlg second;
    second.SetP0Text(QStringLiteral("20u"));
    second.open();
    QTest::keyClicks(ControlAs<QLineEdit>(&second, CP0Dlg::kEditId), "junk");
    QTest::mouseClick(ControlAs<QPushButton>(&second, IDCANCEL), Qt::LeftButton);
    EXPECT_EQ(second.result(), QDialog::Rejected);
    EXPECT_EQ(second.P0Text(), "20u");
}

TEST(DialogTemplate, BuildsPlacesAndRoutesControls)
{
    static const DialogControl kTable[] = {
        {1042, ControlKind::Selector, "YDiv", 3, 10, 60, 12},
        {1043, ControlKind::Button, "Apply", 70, 10, 40, 14},
        {1044, ControlKind::Frame, "", 0, 0, 100, 40},
        {1045, ControlKind::Edit, "abc", 3, 30, 40, 12, ControlDisabled},
        {1046, ControlKind::Custom, "", 3, 50, 40, 12},
        {IDOK, ControlKind::DefaultButton, "OK", 70, 30, 40, 14},
    };
    QDialog dialog;
    BuildDialog(&dialog, kTable, CreateWidgetControl);

    auto* selector = ControlAs<CSelectorButton>(&dialog, 1042);
    ASSERT_NE(selector, nullptr);
    EXPECT_EQ(selector->text(), "YDiv");
    EXPECT_EQ(selector->geometry(), QRect(4, 16, 90, 19));
    EXPECT_EQ(ControlId(selector), 1042);
    EXPECT_EQ(DialogUnitsToPixels(37, 15, 40, 14), QRect(55, 24, 60, 22));
    EXPECT_EQ(DialogSizeToPixels(186, 98), QSize(279, 159));
    EXPECT_FALSE(ControlById(&dialog, 1045)->isEnabled());
    EXPECT_EQ(ControlAs<QLineEdit>(&dialog, 1045)->text(), "abc");
    EXPECT_TRUE(ControlById(&dialog, 1044)->isHidden());
    // A custom kind without a factory of its own is skipped.
    EXPECT_EQ(ControlById(&dialog, 1046), nullptr);
    EXPECT_EQ(ControlById(&dialog, 9999), nullptr);

    std::vector<int> clicked;
    ConnectClicks(&dialog, [&](int id) { clicked.push_back(id); });
    dialog.open();
    selector->AddItem(QStringLiteral("1"), -1);
    selector->AddItem(QStringLiteral("2"), -1);
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(selector, &wheel);
    QTest::mouseClick(ControlAs<QPushButton>(&dialog, 1043), Qt::LeftButton);
    EXPECT_EQ(clicked, (std::vector<int>{1042, 1043}));
    QTest::mouseClick(ControlAs<QPushButton>(&dialog, IDOK), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(clicked.size(), 2u);
}
