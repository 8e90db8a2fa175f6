// Exporting from the main menu acts on the view last clicked: its items
// stay disabled until a view was clicked, then write that view's CSV; the
// view's own right-click menu offers the same three items.
#include "mainwindowfixture.h"

#include "shell/mainmenu.h"
#include "views/graphwnd.h"
#include "views/viewexport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

class ExportMenuTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        m_window = MakeWindow(900, 700);
    }
    void TearDown() override { ViewExport::SetPathChooser(nullptr); }

    // The first shown graph view of the window.
    CGraphWnd* ShownView() const
    {
        for (CGraphWnd* view : m_window->findChildren<CGraphWnd*>())
            if (view->isVisible())
                return view;
        return nullptr;
    }

    std::unique_ptr<CWndKRV> m_window;
};

TEST_F(ExportMenuTest, MainMenuExportsTheViewLastClicked)
{
    CMainMenu* menu = m_window->MainMenu();
    m_window->ShowMainMenu(m_window->mapToGlobal(QPoint(10, 10)));
    EXPECT_FALSE(menu->Action(MenuCommand::ExportCsv)->isEnabled()) << "no view was clicked yet";
    menu->Menu()->close();

    CGraphWnd* view = ShownView();
    ASSERT_NE(view, nullptr);
    QTest::mouseClick(view, Qt::MiddleButton, Qt::NoModifier, view->rect().center());
    m_window->ShowMainMenu(m_window->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(menu->Action(MenuCommand::ExportCsv)->isEnabled());
    menu->Menu()->close();

    QTemporaryDir dir;
    const QString path = dir.filePath("view.csv");
    ViewExport::SetPathChooser([&](QWidget*, const QString&, ViewExport::Kind) { return path; });
    ASSERT_TRUE(menu->Trigger(MenuCommand::ExportCsv));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the export wrote no file";
    EXPECT_TRUE(QString::fromUtf8(file.readAll()).contains("# view: " + ViewExport::ViewName(*view)));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ExportMenuTest, RightClickOnAViewOffersCopyAndExport)
{
    CGraphWnd* view = ShownView();
    ASSERT_NE(view, nullptr);
    const QPoint at = view->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->mapToGlobal(at));
    QApplication::sendEvent(view, &event);
    QMenu* popup = view->findChild<QMenu*>();
    ASSERT_NE(popup, nullptr);
    QStringList texts;
    for (QAction* action : popup->actions())
        texts << action->text();
    EXPECT_EQ(texts, QStringList({"Copy data", "Export CSV…", "Export PNG…"}));
    QGuiApplication::clipboard()->clear();
    popup->actions()[0]->trigger();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith("# KRV "));
    popup->close();
}

} // namespace
