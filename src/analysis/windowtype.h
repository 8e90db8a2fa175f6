#pragma once
// Analysis windows, their amplitude factors and noise bandwidths.
// The integer values are the item keys of the panels' window lists.

#include <string_view>

enum class WindowType : int {
    Rectangle = 0,
    Bartlett = 1,
    Hann = 2,
    Hamming = 3,
    Blackman = 4,
    Flattop = 5,
    LowSidelobe = 6,
};

inline constexpr int kWindowTypeCount = 7;

// The list text of a window ("Rectangle", "Hann", ...); empty for values
// outside 0 … 6.
std::string_view WindowTypeText(WindowType type);

// w(i) of the periodic window of length n (argument 2πi/n), in double.
// Rectangle for values outside 0 … 6.
double WindowValue(WindowType type, int i, int n);

// Factor c that makes a sinusoid of peak amplitude A on a bin read A after
// windowing: 2/n divided by the window's mean, as tabulated.
double AmplitudeFactor(WindowType type, int n);

// Equivalent noise bandwidth B in bins, N·Σw²/(Σw)² (as tabulated: 4/3 for
// "Bartlett", 1.5 for "Hann"), used only for density scaling.
double NoiseBandwidth(WindowType type);
