#pragma once
// Publishes a recording into the channel buffer service as its writer:
// the header's channel numbers, names, units and sample intervals become the
// service's channel definition, and the samples follow at the recording's
// pace (scaled by a speed factor), optionally a subset of the channels, a
// time range, and in a loop. Runs in the calling thread until the range is
// played (and the service's readers have taken it) or Stop() is called.

#include "vrdfile.h"

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

class VrdPlayer {
public:
    struct Options {
        double speed = 1.0;
        bool loop = false;
        std::vector<int> channels; // indices into the header; empty: all
        double from = 0.0;         // seconds from the start of the recording
        double to = -1.0;          // seconds; negative: to the end; past it: the end
    };

    // Exit codes of Play beside 0.
    static constexpr int kFileError = 1; // also a service that cannot take the channels
    static constexpr int kServiceBusy = 3;
    // The longest sample period played: one a day. A header's larger clk is
    // damage, and would play nothing for ever.
    static constexpr double kMaxSamplePeriod = 86400.0;

    // file must hold a header. Prints what it plays (Summary) once the
    // service is taken. Returns 0, or an exit code with a one-line reason
    // in Error().
    int Play(VrdFile& file, const Options& options);
    // Async-signal-safe: ends Play at its next step.
    static void Stop() { s_stop = 1; }
    const std::string& Error() const { return m_error; }

private:
    int Fail(int code, const std::string& message);
    bool CheckOptions(const VrdFile& file, const Options& options);
    bool CheckRange(int64_t frames, const Options& options);
    int64_t FrameAt(double seconds, int64_t frames) const;
    std::string Summary() const;
    static std::string Seconds(double seconds);
    int Claim(const VrdFile& file);
    bool Publish(VrdFile& file, int64_t first, int count);
    void WaitForReaders();

    static std::string WriterName(int pid);

    static volatile std::sig_atomic_t s_stop;
    std::string m_error;
    std::vector<int> m_channels;
    double m_clk = 0.0;
    int64_t m_begin = 0, m_end = 0;
    std::vector<float> m_read, m_frames;
};
