// Wide axis-aligned lines drawn as rectangles cover the pixels the painter's
// own stroker covers with a square-capped, mitre-joined pen of that width.
#include "views/strokeaxisaligned.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

const QColor kInk(20, 40, 200);

QImage Blank() { return QImage(200, 160, QImage::Format_ARGB32_Premultiplied); }

template <class Draw> QImage Render(Draw draw)
{
    QImage image = Blank();
    image.fill(Qt::white);
    QPainter painter(&image);
    draw(painter);
    return image;
}

QImage Stroked(const std::vector<QPointF>& points, double width)
{
    return Render([&](QPainter& p) {
        p.setPen(QPen(kInk, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.drawPolyline(points.data(), int(points.size()));
    });
}

int DifferentPixels(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

// A staircase like an octave step line, its corners at whole and uneven
// fractions of pixels. Not within a sixty-fourth of a half: the rasteriser
// works in 64ths of a pixel, and exactly half way between two pixels the
// rectangle and the stroker may each take the other neighbour (a tie of no
// consequence on screen).
std::vector<QPointF> Staircase(unsigned seed)
{
    std::mt19937 random(seed);
    const double fractions[] = {0.0, 0.1, 0.25, 0.3, 0.4, 0.6, 0.7, 0.75, 0.9};
    std::uniform_int_distribution<int> pick(0, 8), level(10, 150), step(3, 6);
    auto at = [&](int whole) { return whole + fractions[pick(random)]; };
    std::vector<QPointF> points{{5.0, 150.0}};
    for (int x = 5; x < 190;) {
        const double y = at(level(random));
        const int next = x + step(random);
        points.emplace_back(points.back().x(), y);
        points.emplace_back(at(next), y);
        x = next;
    }
    return points;
}

} // namespace

TEST(StrokeAxisAligned, StepLinesCoverThePixelsOfTheWidePen)
{
    for (unsigned seed = 0; seed < 6; ++seed) {
        const std::vector<QPointF> points = Staircase(seed);
        const QImage mine = Render([&](QPainter& p) { StrokeAxisAligned(p, points, 2.0, kInk); });
        EXPECT_EQ(DifferentPixels(mine, Stroked(points, 2.0)), 0) << "seed " << seed;
        EXPECT_GT(DifferentPixels(mine, Render([](QPainter&) {})), 0);
    }
}

TEST(StrokeAxisAligned, SlantedSegmentsStillDrawAndEmptyInputDrawsNothing)
{
    const std::vector<QPointF> slanted{{10, 10}, {150, 120}};
    EXPECT_EQ(DifferentPixels(Render([&](QPainter& p) { StrokeAxisAligned(p, slanted, 2.0, kInk); }),
                              Render([&](QPainter& p) {
                                  p.setPen(QPen(kInk, 2.0, Qt::SolidLine, Qt::SquareCap));
                                  p.drawLine(slanted[0], slanted[1]);
                              })),
              0);
    EXPECT_EQ(DifferentPixels(Render([](QPainter& p) { StrokeAxisAligned(p, {}, 2.0, kInk); }), Render([](QPainter&) {})),
              0);
}

// A bar whose sides touch or cross is filled as one column: the very pixels
// of its three-segment outline.
TEST(StrokeBarOutline, NarrowBarsAreTheirOutlineFilledAsOneColumn)
{
    for (double x1 : {41.3, 41.9, 42.0, 40.1, 39.7, 39.3}) { // x0 = 40.0: apart by at most the width, either way
        const QImage column = Render([&](QPainter& p) { StrokeBarOutline(p, 40.0, x1, 37.6, 140.0, 2.0, kInk); });
        const QImage outline = Render([&](QPainter& p) {
            const QPointF points[] = {{40.0, 140.0}, {40.0, 37.6}, {x1, 37.6}, {x1, 140.0}};
            StrokeAxisAligned(p, points, 2.0, kInk);
        });
        EXPECT_EQ(DifferentPixels(column, outline), 0) << "x1 " << x1;
    }
    // Wide bars keep their hollow outline.
    const QImage wide = Render([](QPainter& p) { StrokeBarOutline(p, 40.0, 60.0, 37.6, 140.0, 2.0, kInk); });
    EXPECT_EQ(wide.pixel(50, 100), QColor(Qt::white).rgb());
    EXPECT_EQ(wide.pixel(40, 100), kInk.rgb());
}
