#pragma once
// Thinning the labels of a scale that is too short for one label per
// major tick: the labelled step grows by 1, 2, 5, 10, 20, 50, ... times the
// major step until the labels stand far enough apart to be read. The
// labels stay on multiples of the major step (one per division, every
// second division, ...).

// The smallest major x k (k = 1, 2, 5, 10, 20, ...) whose ticks lie at
// least minPixels apart on a scale of pixelsPerUnit pixels per unit; major
// itself when it is not positive or the scale has no extent.
double LegibleStep(double major, double pixelsPerUnit, double minPixels);

// The smallest 1, 2 or 5 times a power of ten that is at least atLeast: the
// step of a scale whose own step is no round number (a record's duration
// over ten) once it has to be thinned. atLeast itself when not positive.
double NiceStep(double atLeast);
