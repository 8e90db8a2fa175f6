#include "testgraph.h"

#include <QPainter>

TestGraph::TestGraph(QWidget* parent) : CGraphWnd(nullptr, parent) { resize(800, 600); }

void TestGraph::SetPoints(int count, double start, double step, bool second)
{
    SizeDisplay(count, second);
    Data().SetXStart(start);
    Data().SetXStep(float(step));
    Data().SetSlotShown(0, true);
}

void TestGraph::DrawContent(QPainter& painter) { DrawDivisionPlot(painter, divisions, offsets, xStart, xPerDivision); }
