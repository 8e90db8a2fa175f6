// Makes recordings with CRecordFile for the Python tests and benchmark.
//   krv_recording_writer continuous PATH CHANNELS BLOCKFRAMES FRAMES RATE
//   krv_recording_writer trigger PATH CHANNELS FRAMES RATE
//   krv_recording_writer killed PATH CHANNELS BLOCKFRAMES FRAMES RATE
// Channel c of frame j holds (j mod 2^21) + c / 4, exact in a float, so
// that every value says where it belongs. "killed" appends the frames and
// ends the process with SIGKILL: the file keeps its whole blocks and the
// side record, but no header. Channel names and units hold Windows-1252
// characters (degree, superscript two, euro sign, umlaut).
#include "acquisition/recordfile.h"

#include <QString>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {
float Value(long long frame, int channel) { return float(frame % (1 << 21)) + float(channel) / 4.0f; }

void Define(CRecordFile& file, int channels, double rate)
{
    static const char* const kNames[] = {"left", "Temp, inner", "Beschleunigung \u00FC", "Preis"};
    static const char* const kUnits[] = {"V", "\u00B0C", "m/s\u00B2", "\u20AC"};
    for (int c = 0; c < channels; ++c) {
        const QString name = c < 4 ? QString::fromUtf8(kNames[c]) : QString("ch%1").arg(c);
        const QString unit = QString::fromUtf8(kUnits[c % 4]);
        file.DefineChannel(c, c + 1, name, unit, 1.0 / rate);
    }
}

int Usage()
{
    std::fprintf(stderr, "usage: krv_recording_writer continuous|killed PATH CHANNELS BLOCKFRAMES FRAMES RATE\n"
                         "       krv_recording_writer trigger PATH CHANNELS FRAMES RATE\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const std::string mode = argv[1];
    const bool trigger = mode == "trigger";
    if ((trigger && argc != 6) || (!trigger && argc != 7) ||
        (!trigger && mode != "continuous" && mode != "killed"))
        return Usage();
    const QString path = QString::fromLocal8Bit(argv[2]);
    const int channels = std::atoi(argv[3]);
    const int blockFrames = trigger ? 0 : std::atoi(argv[4]);
    const long long frames = std::atoll(argv[trigger ? 4 : 5]);
    const double rate = std::atof(argv[trigger ? 5 : 6]);
    CRecordFile file;
    if (!file.Prepare(channels, trigger ? int(frames) : blockFrames))
        return 1;
    Define(file, channels, rate);
    if (!file.Open(path)) {
        std::fprintf(stderr, "cannot open %s\n", argv[2]);
        return 1;
    }
    if (trigger) {
        std::vector<float> block(static_cast<size_t>(frames));
        for (int c = 0; c < channels; ++c) {
            for (long long j = 0; j < frames; ++j)
                block[size_t(j)] = Value(j, c);
            file.WriteChannelBlock(block.data(), int(frames));
        }
    } else {
        for (long long j = 0; j < frames; ++j)
            for (int c = 0; c < channels; ++c)
                file.AppendValue(c, Value(j, c));
    }
    if (mode == "killed")
        kill(getpid(), SIGKILL);
    file.Close();
    if (file.Failed()) {
        std::fprintf(stderr, "%s\n", file.FailureMessage().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
