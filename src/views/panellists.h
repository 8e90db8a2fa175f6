#pragma once
// The standard value lists that several panels offer. Each fill appends its
// items in order and then selects defaultText (the first item when no item
// has it); only VoltsPerDivList first removes the items a selector holds.
// Texts are read back as numbers with ParseWithPrefix ("0.1u", "2k",
// "0.5s", "100 Hz"). UI thread only.

#include <QString>

class CSelectorButton;

// "0.1u" … "500k" in 1-2-5 steps, 39 items, keys -1.
void VoltsPerDivList(CSelectorButton& selector, const QString& defaultText);
// The seven analysis windows, keyed by their WindowType value.
void WindowList(CSelectorButton& selector, const QString& defaultText);
// "128" … "65536", keys -1.
void FftPointsList(CSelectorButton& selector, const QString& defaultText);
// "Auto" (key 0), then "1" … "128" keyed by their number.
void AverageCountList(CSelectorButton& selector, const QString& defaultText);
// "1 Hz" … "50000 Hz" in 1-2-5 steps, keys -1.
void SpanList(CSelectorButton& selector, const QString& defaultText);
// "0%" … "95%" in steps of 5, keys -1.
void PercentList(CSelectorButton& selector, const QString& defaultText);
// "1s" down to "0.0001s" in 1-2-5 steps, 13 items, keys -1.
void TimePerDivList(CSelectorButton& selector, const QString& defaultText);

// Captions that name what the level scale items compute, shown instead of
// their stored texts: "dbV" reads "dBV", "dbuV" reads "dBu" (0 dB at
// 0.7746 V rms). Settings lines keep the item texts.
void LevelScaleCaptions(CSelectorButton& selector);
// The frequency response's "10 log" reads "dB": its level is 20·log10 |H|.
void ResponseScaleCaptions(CSelectorButton& selector);
