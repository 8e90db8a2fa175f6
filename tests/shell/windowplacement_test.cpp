// Restoring and saving the main window's placement through the profile.
#include "support/testenvironment.h"

#include "platform/profile.h"
#include "shell/shelloptions.h"
#include "shell/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <gtest/gtest.h>

TEST(WindowPlacement, RectangleTextRoundTrip)
{
    WindowPlacement p = ParsePlacementRect(QStringLiteral("0100 0200 0900 0700"));
    EXPECT_EQ(p.left, 100);
    EXPECT_EQ(p.top, 200);
    EXPECT_EQ(p.right, 900);
    EXPECT_EQ(p.bottom, 700);
    EXPECT_EQ(FormatPlacementRect(p), "0100 0200 0900 0700");
    // Positions 0, 5, 10, 15, whatever the padding; negative left edges too.
    WindowPlacement q = ParsePlacementRect(QStringLiteral("-008 0012 1928 1040"));
    EXPECT_EQ(q.left, -8);
    EXPECT_EQ(q.bottom, 1040);
    EXPECT_EQ(FormatPlacementRect(q), "-008 0012 1928 1040");
    WindowPlacement empty = ParsePlacementRect(QString());
    EXPECT_EQ(empty.NormalRect(), QRect(10, 10, 490, 390));
    // A cut text reads what is there and zeros for the rest.
    WindowPlacement cut = ParsePlacementRect(QStringLiteral("0100 0200"));
    EXPECT_EQ(cut.top, 200);
    EXPECT_EQ(cut.right, 0);
}

TEST(WindowPlacement, FirstStartIsMaximisedOverTheDefaultRectangle)
{
    TestEnvironment env;
    WindowPlacement stored = ReadWindowPlacement();
    EXPECT_FALSE(stored.icon);
    EXPECT_TRUE(stored.maximized);
    QWidget window;
    RestoreWindowPlacement(&window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMaximized());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_EQ(window.normalGeometry(), QRect(10, 10, 490, 390));
}

TEST(WindowPlacement, MinimisedFromMaximisedComesBackTheSameWay)
{
    TestEnvironment env;
    {
        QWidget window;
        RestoreWindowPlacement(&window);
        window.showMinimized();
        SaveWindowPlacement(&window);
    }
    QSettings file(Profile::FilePath(), QSettings::IniFormat);
    EXPECT_EQ(file.value("Window size/icon").toInt(), 1);
    EXPECT_EQ(file.value("Window size/maximized").toInt(), 1);
    EXPECT_EQ(file.value("Window size/Rechteck").toString(), "0010 0010 0500 0400");

    QWidget next;
    RestoreWindowPlacement(&next);
    EXPECT_TRUE(next.isMinimized());
    // Restoring it (what the window system does when the user clicks it) maximises it.
    next.setWindowState(next.windowState() & ~Qt::WindowMinimized);
    EXPECT_TRUE(next.isMaximized());
    EXPECT_EQ(next.normalGeometry(), QRect(10, 10, 490, 390));
}

TEST(WindowPlacement, NormalWindowStoresItsRectangle)
{
    TestEnvironment env;
    {
        QWidget window;
        window.setGeometry(120, 80, 700, 500);
        window.show();
        SaveWindowPlacement(&window);
    }
    WindowPlacement stored = ReadWindowPlacement();
    EXPECT_EQ(stored, (WindowPlacement{120, 80, 820, 580, false, false}));

    QWidget next;
    RestoreWindowPlacement(&next);
    EXPECT_FALSE(next.isMaximized());
    EXPECT_FALSE(next.isMinimized());
    EXPECT_EQ(next.geometry(), QRect(120, 80, 700, 500));

    // Minimised from a normal window: icon 1, maximized 0; it comes back normal.
    next.showMinimized();
    SaveWindowPlacement(&next);
    EXPECT_EQ(ReadWindowPlacement(), (WindowPlacement{120, 80, 820, 580, true, false}));
    QWidget third;
    RestoreWindowPlacement(&third);
    EXPECT_TRUE(third.isMinimized());
    third.setWindowState(third.windowState() & ~Qt::WindowMinimized);
    EXPECT_FALSE(third.isMaximized());
    EXPECT_EQ(third.geometry(), QRect(120, 80, 700, 500));
}

TEST(ShellOptions, DarkWithoutAutoSetupOnFirstStartAndRoundTrip)
{
    TestEnvironment env;
    EXPECT_EQ(ReadShellOptions(), (ShellOptions{1, false}));
    WriteShellOptions({2, true});
    EXPECT_EQ(ReadShellOptions(), (ShellOptions{2, true}));
    Profile::WriteInt(QStringLiteral("Settings"), QStringLiteral("AutoSetup"), 5);
    EXPECT_TRUE(ReadShellOptions().autoSetup);
}

TEST(WindowPlacement, RectangleOfAScreenThatIsGoneComesBackOnScreen)
{
    QRect visible(120, 80, 700, 500);
    EXPECT_EQ(KeptOnScreen(visible), visible);
    QRect gone(20000, 20000, 700, 500);
    QRect kept = KeptOnScreen(gone);
    EXPECT_EQ(kept.size(), gone.size());
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(kept.topLeft()));
}

TEST(WindowPlacement, AWindowNothingMaximisedFillsTheAvailableScreen)
{
    const QRect available(0, 24, 1024, 616);
    EXPECT_EQ(ScreenFill(available, 744), available);
    // Never narrower than the main bar, even on a narrow screen.
    EXPECT_EQ(ScreenFill(QRect(0, 0, 640, 480), 744), QRect(0, 0, 744, 480));
    EXPECT_TRUE(CoversScreen(QRect(0, 0, 1024, 640), QRect(0, 0, 1024, 640)));
    // A maximised frame may lack or add decorations and panels.
    EXPECT_TRUE(CoversScreen(QRect(0, 30, 1024, 600), QRect(0, 0, 1024, 640)));
    // The stored 10, 10, 500, 400 does not cover anything.
    EXPECT_FALSE(CoversScreen(QRect(10, 10, 490, 390), QRect(0, 0, 1024, 640)));
    EXPECT_FALSE(CoversScreen(QRect(0, 0, 1024, 390), QRect(0, 0, 1024, 640)));
}

// A window manager that ignores the maximised state (or none at all) leaves
// the window at its normal rectangle: it then sizes itself to the screen,
// keeping what is stored. The offscreen platform maximises at once, so the
// window that nothing maximised is one that is not on screen yet.
TEST(WindowPlacement, AMaximisedWindowLeftSmallSizesItselfToTheScreen)
{
    TestEnvironment env;
    QWidget window;
    window.setGeometry(10, 10, 490, 390);
    window.setWindowState(Qt::WindowMaximized);
    ASSERT_EQ(window.geometry(), QRect(10, 10, 490, 390));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();

    EXPECT_TRUE(FillScreenIfNotMaximised(&window, 744));
    EXPECT_EQ(window.geometry(), ScreenFill(available, 744));
    // Stored as it was: maximised over 10, 10, 500, 400.
    SaveWindowPlacement(&window);
    EXPECT_EQ(ReadWindowPlacement(), (WindowPlacement{10, 10, 500, 400, false, true}));
    // Once the user gives it a size of its own, that is stored.
    window.setGeometry(40, 40, 800, 600);
    EXPECT_EQ(PlacementOf(&window), (WindowPlacement{40, 40, 840, 640, false, false}));

    // A normal window is the user's size, small or not.
    QWidget normal;
    normal.setGeometry(10, 10, 490, 390);
    normal.show();
    EXPECT_FALSE(FillScreenIfNotMaximised(&normal, 744));
    EXPECT_EQ(normal.geometry(), QRect(10, 10, 490, 390));
}
