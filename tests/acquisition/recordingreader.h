#pragma once
// Reads a closed recording back for checks: channel count, block length and
// frames from its text header, values from its blocks.

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

struct RecordingReader {
    bool ok = false;
    int blockFrames = 0;
    int64_t frames = 0;
    std::vector<std::string> names;
    std::vector<std::vector<float>> channels; // the valid frames of each channel

    explicit RecordingReader(const QString& path);
};
