#include "testgraph.h"

#include <QPainter>

TestGraph::TestGraph(QWidget* parent) : CGraphWnd(nullptr, parent) { resize(800, 600); }

void TestGraph::SetPoints(int count, double start, double step, bool second)
{
    SizeDisplay(count, second);
    m_xStart = start;
    m_xStep = float(step);
    m_slotActive[0] = true;
}

void TestGraph::DrawContent(QPainter& painter) { DrawDivisionPlot(painter, divisions, offsets, xStart, xPerDivision); }
