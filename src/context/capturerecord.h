#pragma once
// One completed record of the capture: every channel's samples over the
// same span, as the capture engine published it. Immutable once published
// and shared (std::shared_ptr<const CaptureRecord>) by the views and their
// analysis workers, so a worker may read it while the capture fills the
// next one. Any thread may read a published record.

#include <cstdint>
#include <string>
#include <vector>

struct CaptureRecord {
    // samples[c][i]: sample i of channel c; every channel has `length` samples.
    std::vector<std::vector<float>> samples;
    int length = 0;
    double sampleInterval = 0.0; // seconds per sample
    int startOffset = 0;         // samples before the trigger: where the analysis starts
    std::vector<std::string> names, units; // per channel, UTF-8
    std::uint64_t sequence = 0;  // 1, 2, … in the order of publishing; 0 for a record made by hand
    long long lost = 0;          // samples the capture lost (fell behind the service) since the previous record

    int Channels() const { return int(samples.size()); }
    // The samples of a channel index; null for -1 or a channel the record lacks.
    const float* Channel(int channel) const
    {
        return channel >= 0 && channel < Channels() && length > 0 ? samples[size_t(channel)].data() : nullptr;
    }
    // "" for a channel the record lacks.
    const std::string& Unit(int channel) const
    {
        static const std::string none;
        return channel >= 0 && channel < int(units.size()) ? units[size_t(channel)] : none;
    }
    const std::string& Name(int channel) const
    {
        static const std::string none;
        return channel >= 0 && channel < int(names.size()) ? names[size_t(channel)] : none;
    }
};
