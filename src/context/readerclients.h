#pragma once
// The channel buffer service's reader clients that KRV reads with, each a
// position of its own in every channel's stream.

// Multimeter views.
inline constexpr int kMultimeterClient = 1;
// Time views, and the module group calibration, which polls the arrivals.
inline constexpr int kTimeClient = 2;
// Octave views.
inline constexpr int kOctaveClient = 3;

// The order in which the main window registers, resets and freezes them.
inline constexpr int kReaderClients[] = {kTimeClient, kOctaveClient, kMultimeterClient};
