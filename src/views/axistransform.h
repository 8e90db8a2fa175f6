#pragma once
// A linear map from values onto pixels along one axis of a plot:
// pixel = value × scale + offset, with the range shown (min .. max).

struct AxisTransform {
    double min = 0.0;
    double max = 1.0;
    double scale = 1.0;
    double offset = 0.0;

    // The horizontal map of min .. max onto left .. right (right at max).
    static AxisTransform Horizontal(double min, double max, int left, int right);
    // The vertical map of min .. max onto bottom .. top (top at max).
    static AxisTransform Vertical(double min, double max, int top, int bottom);

    // The pixel of a value, truncated toward zero as the scales draw it.
    int Pixel(double value) const { return int(value * scale + offset); }
    double PixelF(double value) const { return value * scale + offset; }
    // The value at a pixel.
    double Value(double pixel) const { return scale != 0.0 ? (pixel - offset) / scale : min; }

    // One wheel step of delta (120 per notch) around the value c: the range
    // narrows by delta / 1200 of each side's distance to c (forward
    // narrows, backward widens).
    void WheelZoom(int delta, double c);
};
