#include "setupdialogdriver.h"

#include "platform/messagebox.h"
#include "platform/dialogtemplate.h"
#include "widgets/gridctrl.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace SetupDialogDriver {

void Click(CChannelSetupDlg& dialog, int column, int row, Qt::KeyboardModifiers modifiers)
{
    CGridCtrl* grid = dialog.Grid();
    QTest::mouseClick(grid, Qt::LeftButton, modifiers, grid->CellRect(column, row).center());
}

void Wheel(CChannelSetupDlg& dialog, int column, int row, bool up)
{
    CGridCtrl* grid = dialog.Grid();
    const QPoint pos = grid->CellRect(column, row).center();
    QWheelEvent event(QPointF(pos), QPointF(grid->mapToGlobal(pos)), QPoint(), QPoint(0, up ? 120 : -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid, &event);
}

void Choose(CChannelSetupDlg& dialog, int column, int row, const QString& text)
{
    Click(dialog, column, row);
    QComboBox* list = dialog.Grid()->ListEditor();
    ASSERT_NE(list, nullptr) << "no list on column " << column << " row " << row;
    const int index = list->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    list->view()->setCurrentIndex(list->model()->index(index, 0));
    QTest::keyClick(list->view(), Qt::Key_Return);
}

void Type(CChannelSetupDlg& dialog, int column, int row, const QString& text)
{
    Click(dialog, column, row);
    QLineEdit* edit = dialog.Grid()->TextEditor();
    ASSERT_NE(edit, nullptr) << "no text field on column " << column << " row " << row;
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Escape);
}

void Accept(CChannelSetupDlg& dialog)
{
    QTest::mouseClick(ControlAs<QPushButton>(&dialog, IDOK), Qt::LeftButton);
}

} // namespace SetupDialogDriver
