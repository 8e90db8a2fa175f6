#pragma once
// The analysis settings of the main bar and the latest published record,
// shared by the main window, the main bar and every view. The main window
// owns it; the capture engine's records are put in `capture` on the
// user-interface thread. UI thread only.

#include "context/capturerecord.h"

#include <cstdint>
#include <memory>

struct AnalysisRecord {
    int averages = 1;                                  // "Avg" choice; 0 means automatic
    int points = 1024;                                 // FFT points ("Pts")
    int overlap = 50;                                  // percent ("OVL")
    std::uint8_t single = 0;                           // single shot armed
    std::uint8_t run = 1;                              // running
    int hop = 0;                                       // samples between analysis segments
    std::uint8_t recording = 0;                        // 1 while a recording file is open
    std::shared_ptr<const CaptureRecord> capture;      // the latest complete record, null before the first
};
