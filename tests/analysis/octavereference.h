#pragma once
// The octave bands' filters in their straightforward form, which the tests
// and the benchmark compare the analyser with: per band the three
// fourth-order sections of the sixth-order Butterworth band-pass, each
// y[n] = b0·(x[n] − 2x[n−2] + x[n−4]) − a1·y[n−1] − … − a4·y[n−4], run with
// input and output histories shifted every sample.

#include "analysis/octaveanalyser.h"

#include <array>
#include <vector>

struct FourthOrderSection {
    double b0 = 0.0, a1 = 0.0, a2 = 0.0, a3 = 0.0, a4 = 0.0;
};

using FourthOrderSections = std::array<FourthOrderSection, 3>;

// The sections of the band between lowerHz and upperHz at sample interval dt
// (bilinear transform with prewarping, π = 3.14159265358979).
FourthOrderSections DesignFourthOrderSections(double lowerHz, double upperHz, double dt);

// Every live band of an analyser's design, with its own states and
// time-weighted mean squares.
class FourthOrderBank {
public:
    explicit FourthOrderBank(const OctaveAnalyser& design);

    const FourthOrderSections& Sections(int band) const { return m_bands[band].sections; }
    // Runs the samples through every band; mean square ← (1 − α)·mean
    // square + α·y² per sample.
    void Process(const float* samples, int count, double alpha);
    double MeanSquare(int band) const { return m_bands[band].meanSquare; }

private:
    struct Band {
        FourthOrderSections sections;
        double x[3][5] = {};
        double y[3][5] = {};
        double meanSquare = 0.0;
    };
    std::vector<Band> m_bands;
};
