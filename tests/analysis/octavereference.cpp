#include "octavereference.h"

#include <cmath>

FourthOrderSections DesignFourthOrderSections(double lowerHz, double upperHz, double dt)
{
    constexpr double kPi = 3.14159265358979;
    const double a = std::tan(kPi * lowerHz * dt);
    const double b = std::tan(kPi * upperHz * dt);
    const double d = b - a;
    const double v = d * d;
    const double r = d * d + 2.0 * a * b;
    const double t = a * a * b * b;
    const double u = 6.0 - 2.0 * r + 6.0 * t;
    const double w = 4.0 * t;
    constexpr int m = 3;
    FourthOrderSections sections;
    for (int k = 0; k < m; ++k) {
        const double p = -2.0 * d * std::cos((2 * m + 1 + 2 * k) * kPi / (4 * m));
        const double q = a * b * p;
        const double D = 1.0 + r + t + p + q;
        sections[k] = {v / D, (2.0 * q - 2.0 * p - 4.0 + w) / D, u / D, (2.0 * p - 4.0 - 2.0 * q + w) / D,
                       (1.0 - p + r - q + t) / D};
    }
    return sections;
}

FourthOrderBank::FourthOrderBank(const OctaveAnalyser& design) : m_bands(design.BandCount())
{
    for (int b = 0; b < design.BandCount(); ++b)
        m_bands[b].sections =
            DesignFourthOrderSections(design.BandRecord(b).lower, design.BandRecord(b).upper, design.Dt());
}

void FourthOrderBank::Process(const float* samples, int count, double alpha)
{
    for (Band& band : m_bands) {
        double ms = band.meanSquare;
        for (int n = 0; n < count; ++n) {
            double in = samples[n];
            for (int s = 0; s < 3; ++s) {
                const FourthOrderSection& c = band.sections[s];
                double* x = band.x[s];
                double* y = band.y[s];
                x[0] = in;
                const double out =
                    c.b0 * (x[0] - 2.0 * x[2] + x[4]) - c.a1 * y[1] - c.a2 * y[2] - c.a3 * y[3] - c.a4 * y[4];
                y[0] = out;
                for (int h = 4; h > 0; --h) {
                    x[h] = x[h - 1];
                    y[h] = y[h - 1];
                }
                in = out;
            }
            ms = (1.0 - alpha) * ms + alpha * in * in;
        }
        band.meanSquare = ms;
    }
}
