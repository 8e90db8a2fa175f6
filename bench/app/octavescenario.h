#pragma once
// The octave scenario of the whole-program benchmark: six pages showing the
// octave view at 1/24 octave on 24 channels of 200 kHz from zq-gen.

// Starts its own writer (no other may run), measures for `seconds` and
// prints tick p50, p99 and max, the share of the wall time the ticks take and
// the octave views' part of it, the CPU share of the octave workers'
// filtering, the samples the service reports lost for client 3, and
// the p99 as a ratio to the straightforward filter bank doing one tick's
// octave work. Returns false when the writer does not come up.
bool RunOctaveScenario(double seconds);
