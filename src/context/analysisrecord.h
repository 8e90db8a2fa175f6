#pragma once
// The analysis settings and the latest capture, shared by the main window,
// the main bar and every view. The main window owns it; the time view writes
// the capture fields when a record is complete.

#include <cstdint>

struct AnalysisRecord {
    static constexpr int kMaxCaptureChannels = 32;

    int averages = 1;                                  // "Avg" choice; 0 means automatic
    float* captureArea[kMaxCaptureChannels] = {};      // one array per channel, channel order
    int captureLength = 0;                             // samples per channel in the capture
    int captureChannels = 0;
    int points = 1024;                                 // FFT points ("Pts")
    int overlap = 50;                                  // percent ("OVL")
    std::uint8_t single = 0;                           // single shot armed
    std::uint8_t run = 1;                              // running
    double captureTime = 0.0;                          // seconds per sample of the capture
    int captureWord = 0;                               // analysis start offset (pre-trigger count)
    int reserved = 0;
    int hop = 0;                                       // samples between analysis segments
    std::uint8_t recording = 0;                        // 1 while a recording file is open
};
