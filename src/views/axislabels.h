#pragma once
// How the scales label their ticks: the printf format for a step, the
// factor by which x labels are scaled, and the prefix of y labels.

#include <QString>

namespace AxisLabels {

// "%<w>.<d>f" for labels of this step: a = floor(log10 step); a >= 0 gives
// width a + 2 and no decimals, a < 0 width 5 and -a decimals. A step that is
// not positive gives "%g".
QString LabelFormat(double step);
// One label printed with such a format.
QString FormatLabel(const QString& format, double value);

// x labels: 0.001 ("k") when x max >= 1000, 1000 ("m") when x max <= 0.1,
// else 1 (no prefix).
double XLabelFactor(double xMax);
// The caption prefix of a factor: "k" for 0.001, "m" for 1000, else none.
QString XLabelPrefix(double factor);

// y labels, by K = the larger of |first| and |last| major value.
struct YPrefix {
    const char* prefix; // "", "M", "k", "m" or "u"
    int exponent;       // 6, 3, 0, -3, -6
    double factor;      // what the labels are multiplied by
};
YPrefix ChooseYPrefix(double first, double last);
// The same for a unit: a squared unit ("Vrms²") takes the prefix of its
// root by ChooseSquaredPrefix, so that the caption PrefixedUnit makes
// ("(mVrms)²") says what the labels count.
YPrefix ChooseYPrefix(double first, double last, const QString& unit);

// A value rounded to four decimals, halves away from zero.
double RoundTo4(double value);

} // namespace AxisLabels
