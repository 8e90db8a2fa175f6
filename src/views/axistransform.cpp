#include "axistransform.h"

AxisTransform AxisTransform::Horizontal(double min, double max, int left, int right)
{
    AxisTransform t;
    t.min = min;
    t.max = max;
    t.scale = max != min ? (right - left) / (max - min) : 0.0;
    t.offset = right - t.scale * max;
    return t;
}

AxisTransform AxisTransform::Vertical(double min, double max, int top, int bottom)
{
    AxisTransform t;
    t.min = min;
    t.max = max;
    t.scale = max != min ? (top - bottom) / (max - min) : 0.0;
    t.offset = top - max * t.scale;
    return t;
}

void AxisTransform::WheelZoom(int delta, double c)
{
    min += delta * (c - min) / 1200.0;
    max -= delta * (max - c) / 1200.0;
}
