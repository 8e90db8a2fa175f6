// The status line: what it says for known facts, the loss in red until a
// click takes note of it, repaints only for changed facts, and the title.
#include "panels/statusline.h"

#include "context/appcontext.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

StatusFacts Facts()
{
    StatusFacts f;
    f.source = QStringLiteral("Quorel zq-gen");
    f.sampleRate = 51200.0;
    f.points = 1024;
    f.window = QStringLiteral("Hann");
    f.noiseBandwidthBins = 1.5;
    f.averagesDone = 3;
    f.averagesAsked = 4;
    f.recordLength = 10240;
    return f;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

TEST(StatusLine, SaysTheMeasurementInNumbers)
{
    ResetContext();
    CStatusLine line;
    line.Show(Facts());
    // Δf = 51200/1024 = 50 Hz; noise bandwidth 1.5 bins of Hann = 75 Hz;
    // 10240 samples at 51.2 kS/s = 200 ms.
    EXPECT_EQ(line.MeasurementText(),
              QStringLiteral("Quorel zq-gen  \u00B7  51.2 kS/s  \u00B7  \u0394f 50 Hz  \u00B7  NBW 75 Hz (Hann, 1024 pts)"
                             "  \u00B7  Avg 3/4  \u00B7  record 10240 (200 ms)"));
    EXPECT_EQ(line.LossText(), "lost 0");
    EXPECT_FALSE(line.Alarmed());

    StatusFacts automatic = Facts();
    automatic.averagesAsked = 0;
    automatic.sampleRate = 0.0; // no channel chosen: no rate, no bin spacing
    line.Show(automatic);
    EXPECT_EQ(line.MeasurementText(),
              QStringLiteral("Quorel zq-gen  \u00B7  Avg 3/Auto  \u00B7  record 10240"));
}

TEST(StatusLine, LossesStayRedUntilAClickTakesNote)
{
    ResetContext();
    CStatusLine line;
    line.resize(900, CStatusLine::kHeight);
    line.show();
    StatusFacts f = Facts();
    f.lost = 1234;
    line.Show(f);
    EXPECT_EQ(line.LossText(), "lost 1234");
    EXPECT_TRUE(line.Alarmed());
    QTest::mouseClick(&line, Qt::LeftButton, {}, QPoint(400, 8));
    EXPECT_FALSE(line.Alarmed());
    f.lost = 1300; // more lost since: news again
    line.Show(f);
    EXPECT_TRUE(line.Alarmed());
    line.Acknowledge();
    f.recordFailed = true;
    line.Show(f);
    EXPECT_EQ(line.LossText(), "lost 1300  \u00B7  recording failed");
    EXPECT_TRUE(line.Alarmed());
    line.Acknowledge();
    EXPECT_FALSE(line.Alarmed());
}

TEST(StatusLine, RepaintsOnlyWhenAFactChanged)
{
    ResetContext();
    CStatusLine line;
    line.resize(900, CStatusLine::kHeight);
    line.show();
    PaintCounter counter;
    line.installEventFilter(&counter);
    EXPECT_TRUE(line.Show(Facts()));
    QApplication::processEvents();
    const int afterChange = counter.paints;
    EXPECT_GE(afterChange, 1);
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(line.Show(Facts()));
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, afterChange);
}

TEST(StatusLine, TitleNamesSourceSetAndRecording)
{
    EXPECT_EQ(CStatusLine::TitleText(QString(), QString(), false), "KRV");
    EXPECT_EQ(CStatusLine::TitleText(QStringLiteral("Halvek"), QStringLiteral("Bearing"), true),
              QStringLiteral("KRV \u2014 Halvek \u2014 Bearing  \u25CF REC"));
    EXPECT_EQ(CStatusLine::TitleText(QStringLiteral("Quorel"), QString(), false), QStringLiteral("KRV \u2014 Quorel"));
}

} // namespace
