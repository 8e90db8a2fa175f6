#pragma once
// The analysis stage at saturation: six spectrogram views (2048 points,
// 95 % overlap, 1 s records of 50 kHz, two channels), each given its next
// record as soon as it has taken the last result over. Run with one worker
// and with two: the ratio of the records per second is what the second
// core gives the analysis.

// Prints both throughputs and their ratio; returns the ratio.
double RunSaturation(int records);
