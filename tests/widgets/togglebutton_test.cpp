// The toggle button's face gradient, lamp and Run/Stop caption.
#include "widgets/scalecolor.h"
#include "widgets/togglebutton.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// Mid grey, so that no row of the gradient saturates.
const QColor kFace(100, 100, 100);
}

TEST(ToggleButton, PressedReversesTheGradientAndFocusBrightens)
{
    QWidget window;
    CToggleButton button(QStringLiteral("FFT"), &window);
    button.SetColors(kFace, Qt::black, QColor(0, 56, 81), Qt::yellow);
    button.setGeometry(0, 0, 60, 23);
    window.show();
    const int h = 20; // inner height: 23 - 3
    QImage up = button.grab().toImage();
    EXPECT_EQ(up.pixel(2, 0), ScaleColor(kFace.rgb(), 1.0 / 1.25 + 0.8));
    EXPECT_EQ(up.pixel(2, h), ScaleColor(kFace.rgb(), 0.8));

    button.setDown(true);
    QImage down = button.grab().toImage();
    EXPECT_EQ(down.pixel(2, 0), ScaleColor(kFace.rgb(), 0.8));
    EXPECT_EQ(down.pixel(2, h), ScaleColor(kFace.rgb(), 1.0 / 1.25 + 0.8));
    button.setDown(false);
    EXPECT_EQ(button.grab().toImage().pixel(2, 0), up.pixel(2, 0));

    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    button.setFocus();
    QImage focused = button.grab().toImage();
    EXPECT_EQ(focused.pixel(2, 0), ScaleColor(kFace.rgb(), 1.5 / 1.25 + 0.8));

    // On: the on face.
    button.clearFocus();
    button.SetState(true);
    EXPECT_EQ(button.grab().toImage().pixel(2, h), ScaleColor(qRgb(0, 56, 81), 0.8));
}

TEST(ToggleButton, LampShowsWhileOffAndTheCaptionStaysInPlace)
{
    CToggleButton button(QStringLiteral("Rec"));
    button.SetColors(kFace, Qt::black, QColor(200, 200, 200), Qt::black);
    button.SetLamp(true);
    button.resize(64, 24);
    QRect captionOff = button.CaptionRect();
    QPoint lampCentre = button.LampRect().center();
    EXPECT_EQ(QColor(button.grab().toImage().pixel(lampCentre)), QColor(255, 0, 0));
    button.SetState(true);
    EXPECT_NE(QColor(button.grab().toImage().pixel(lampCentre)), QColor(255, 0, 0));
    EXPECT_EQ(button.CaptionRect(), captionOff);
    EXPECT_EQ(captionOff.left(), 24);
    EXPECT_EQ(button.LampRect(), QRect(1, 1, 21, 21));
}

TEST(ToggleButton, RunStopCaptionFollowsTheStateAndClicksOnlyNotify)
{
    CToggleButton button(QStringLiteral("ignored"));
    button.resize(60, 24);
    button.SetRunStopCaption(true);
    EXPECT_EQ(button.Caption(), "Run");
    button.SetState(true);
    EXPECT_EQ(button.Caption(), "Stop");

    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(button.State());

    CToggleButton plain(QStringLiteral("Time"));
    plain.SetState(true);
    EXPECT_EQ(plain.Caption(), "Time");
}
