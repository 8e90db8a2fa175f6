// Exporting from the main menu acts on the view last clicked: its items
// stay disabled until a view was clicked, then write that view's CSV; the
// view's own right-click menu offers the same three items.
#include "context/appcontext.h"
#include "platform/companionbus.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "shell/mainmenu.h"
#include "shell/wndkrv.h"
#include "support/testenvironment.h"
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

class ExportMenuTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        Profile::SetProgramName(QStringLiteral("krv"));
        Ctx().programDirectory = QString::fromStdString(m_env.ProgramDir());
        Ctx().dataDirectory = Ctx().programDirectory + QStringLiteral("data");
        Ctx().companionMessage = CompanionBus::Instance().RegisterMessage(QStringLiteral("Ostrane"));
        Profile::WriteString("Window size", "Rechteck", "0050 0050 0850 0750");
        Profile::WriteInt("Window size", "maximized", 0);
        m_window = std::make_unique<CWndKRV>();
        m_window->Create();
        QApplication::processEvents();
        m_window->showNormal();
        m_window->resize(900, 700);
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

    TestEnvironment m_env;
    MessageBoxRecorder m_boxes;
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
