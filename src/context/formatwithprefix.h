#pragma once
// Engineering-prefix formatting of measured values: "12.3 mV", "2.5 kHz".

#include <QString>

// "%.*g %s%s" with the precision (significant digits), the value scaled by
// the prefix's factor, the prefix ("M", "k", "m", "u" or none) and the unit.
// |value| > 1100000 takes M, > 1100 k, < 0.0009 u, < 0.9 m; 0 and the rest
// print unscaled. A squared unit ("Vrms²", "Vrms²/Hz") takes its prefix on
// the root by ChooseSquaredPrefix: 1e-6 V² prints "1 (mVrms)²", never
// "mVrms²" for thousandths of V². Any thread.
QString FormatWithPrefix(double value, int precision, const QString& unit);

// A unit with a prefix before it: "mV"; for a squared unit the prefix goes
// on the root in brackets, "(mVrms)²/Hz". No prefix: the unit. Any thread.
QString PrefixedUnit(const char* prefix, const QString& unit);
// The unit holds a square ("²"), so that a prefix scales it twice.
bool IsSquaredUnit(const QString& unit);

// The factor and one-letter prefix for a value under the rule above; with
// nano, values below 0.0000009 take "n" (factor 1e9), as selector buttons
// show them. Any thread.
struct EngineeringPrefix {
    double factor;
    const char* prefix;
};
EngineeringPrefix ChoosePrefix(double value, bool nano);

// The prefix of a squared unit's root for a value in that unit, with the
// factor the value is scaled by (the root's factor squared): none from
// 0.001 up to 1100000, "m" (1e6) below down to 1e-9, "u" (1e12) further
// down; "k" (1e-6) above up to 1.1e12, "M" (1e-12) beyond. Any thread.
EngineeringPrefix ChooseSquaredPrefix(double value);
