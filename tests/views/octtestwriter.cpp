// A writer for the tests of the octave and multimeter views: defines
// channels of one sample rate in the channel buffer service and writes
// samples only when told, so that a test controls exactly what every tick
// finds. Channel k carries (k + 1) times the signal.
//
// Usage: oct_test_writer CHANNELS RATE UNIT
// Commands on standard input, each answered by "ok" once written:
//   sine FREQUENCY PEAK COUNT   a sine, phase continuous across commands
//   noise RMS COUNT             Gaussian white noise (fixed seed)
//   zero COUNT
//   quit

#include "zq.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const int channels = std::atoi(argv[1]);
    const double rate = std::atof(argv[2]);
    if (ZQ_SetNrOfChan(channels) != ZQ_OK)
        return 1;
    for (int k = 0; k < channels; ++k) {
        const std::string number = std::to_string(k + 1), name = "Test " + number;
        ZQ_SetChanDef(k, k + 1, number.c_str(), name.c_str(), argv[3], "", 1.0 / rate, -10, 10, -10, 10, 0);
    }
    std::printf("ready\n");
    std::fflush(stdout);

    std::mt19937_64 random(12345);
    std::normal_distribution<double> gauss(0.0, 1.0);
    long long n = 0; // samples written per channel
    std::vector<float> frames;
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        char kind[32] = {};
        double a = 0, b = 0;
        long long count = 0;
        if (std::sscanf(line, "sine %lf %lf %lld", &a, &b, &count) == 3)
            std::strcpy(kind, "sine");
        else if (std::sscanf(line, "noise %lf %lld", &a, &count) == 2)
            std::strcpy(kind, "noise");
        else if (std::sscanf(line, "zero %lld", &count) == 1)
            std::strcpy(kind, "zero");
        else
            break;
        frames.assign(size_t(count) * size_t(channels), 0.0f);
        for (long long i = 0; i < count; ++i, ++n) {
            double x = 0.0;
            if (kind[0] == 's')
                x = b * std::sin(2.0 * M_PI * a * double(n) / rate);
            else if (kind[0] == 'n')
                x = a * gauss(random);
            for (int k = 0; k < channels; ++k)
                frames[size_t(i) * size_t(channels) + size_t(k)] = float(x * (k + 1));
        }
        ZQ_WriteFrames(frames.data(), int(count));
        std::printf("ok\n");
        std::fflush(stdout);
    }
    ZQ_ReleaseWriter();
    return 0;
}
