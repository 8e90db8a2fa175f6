#pragma once
// The pipeline scenarios of the whole-program benchmark: six pages of
// record-based views on 24 channels of 50 kHz from a zq-gen that the caller
// has started with the counter signal. They judge how the analysis of a
// record and the paints it causes weigh on the user-interface thread.
//
// Spectrogram: every page shows the spectrogram, 2048 points, 95 % overlap,
// 1 s records. Spectra: the pages show FFT, PSD, FRF, COH, CRS and CCR,
// 65536 points, 75 % overlap, 5 s records.
//
// Each prints the longest the user-interface thread is busy in one go (each
// outermost event delivery: p50, p99, max) and, per view, the records it
// analysed against those the writer's samples allow. The window is measured
// from one record to another, after a warm-up that starts at the first.

class TimedApplication;

enum class PipelineScenario { Spectrogram, Spectra };

// Measures for about `seconds` (whole records; the writer's counter limits
// a window to 300 s). Returns false when the setup cannot be made or no
// records arrive.
bool RunPipelineScenario(TimedApplication& app, PipelineScenario scenario, double seconds, double warmUpSeconds);
