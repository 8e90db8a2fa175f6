// Runs one view's analysis over samples from files, for the Python tests
// that compare krv.analysis with what the views show.
//   krv_view_compute VIEW OUT x=FILE [y=FILE] dt=S points=N hop=H averages=A
//                    start=S [setting=KEY ...]
//     VIEW fft, psd, frf, coh, crs, ccr, acr or spg; the settings are the
//     panels' list keys: window, average, scale, density, amplitude,
//     integration, display, estimator, level, normed.
//   krv_view_compute octave OUT x=FILE dt=S bands=B weighting=W low=HZ
//                    high=HZ tau=S block=K
//   krv_view_compute multimeter OUT x=FILE window=W statistic=S block=K
// FILE holds raw native float32 samples. A view writes OUT, a header of
// "key value" lines (outcome, points, rows, xstart, xstep, active0/1,
// unit0 … unit3), and OUT.0 … OUT.3, its display arrays as float32 (rows ×
// points values each). The streaming analysers take the file in blocks of K
// samples, as the views feed them tick by tick; octave writes OUT (bands,
// totals) and OUT.centres, OUT.levels as float64; multimeter writes the
// last value the view evaluated and the samples it had taken by then.
#include "analysis/multimeterstatistic.h"
#include "analysis/octaveanalyser.h"
#include "analysis/samplering.h"
#include "views/acrview.h"
#include "views/ccrview.h"
#include "views/cohview.h"
#include "views/crsview.h"
#include "views/fftview.h"
#include "views/frfview.h"
#include "views/psdview.h"
#include "views/spgview.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Arguments = std::map<std::string, std::string>;

std::vector<float> ReadSamples(const std::string& path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        throw std::runtime_error("cannot read " + path);
    std::vector<float> samples(size_t(file.tellg()) / sizeof(float));
    file.seekg(0);
    file.read(reinterpret_cast<char*>(samples.data()), std::streamsize(samples.size() * sizeof(float)));
    return samples;
}

template <typename T> void WriteArray(const std::string& path, const T* values, size_t count)
{
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(values), std::streamsize(count * sizeof(T)));
}

std::string Text(const Arguments& args, const std::string& key)
{
    const auto found = args.find(key);
    if (found == args.end())
        throw std::runtime_error("missing " + key + "=");
    return found->second;
}

int Int(const Arguments& args, const std::string& key, int fallback)
{
    return args.count(key) ? std::stoi(args.at(key)) : fallback;
}

double Double(const Arguments& args, const std::string& key) { return std::stod(Text(args, key)); }

// x and y (when given) as channels 0 and 1 of a record, in slots 0 and 1.
AnalysisInput MakeInput(const Arguments& args)
{
    auto record = std::make_shared<CaptureRecord>();
    record->samples.push_back(ReadSamples(Text(args, "x")));
    if (args.count("y"))
        record->samples.push_back(ReadSamples(Text(args, "y")));
    record->length = int(record->samples[0].size());
    record->sampleInterval = Double(args, "dt");
    record->startOffset = Int(args, "start", 0);
    record->names.assign(record->samples.size(), "in");
    record->units.assign(record->samples.size(), "V");
    AnalysisInput input;
    input.record = record;
    input.points = Int(args, "points", 1024);
    input.hop = Int(args, "hop", input.points);
    input.averages = Int(args, "averages", 0);
    input.channels = {0, record->Channels() > 1 ? 1 : -1};
    return input;
}

void Analyse(const std::string& view, const Arguments& args, ViewData& out)
{
    const AnalysisInput input = MakeInput(args);
    const auto window = WindowType(Int(args, "window", int(WindowType::Hann)));
    const auto scale = LevelScale(Int(args, "scale", 0));
    const auto average = AverageMode(Int(args, "average", 0));
    const bool density = Int(args, "density", 0) != 0;
    const bool normed = Int(args, "normed", 1) != 0;
    AnalysisWorkspace work;
    if (view == "fft") {
        const AmplitudeSettings settings{window, average, AmplitudeKind(Int(args, "amplitude", 0)),
                                         Integration(Int(args, "integration", 0)),
                                         FftDisplay(Int(args, "display", 0))};
        CFftView::Compute(input, settings, work, out);
    } else if (view == "psd") {
        CPsdView::Compute(input, PsdSettings{window, average, scale, density}, work, out);
    } else if (view == "frf") {
        const FrfSettings settings{window, FrfDisplay(Int(args, "display", 0)),
                                   FrfEstimator(Int(args, "estimator", 0)), FrfLevel(Int(args, "level", 1))};
        CFrfView::Compute(input, settings, work, out);
    } else if (view == "coh") {
        CCohView::Compute(input, window, work, out);
    } else if (view == "crs") {
        CCrsView::Compute(input, window, density, work, out);
    } else if (view == "ccr") {
        CCcrView::Compute(input, normed, work, out);
    } else if (view == "acr") {
        CAcrView::Compute(input, normed, work, out);
    } else if (view == "spg") {
        CSpgView::Compute(input, window, scale, work, out);
    } else {
        throw std::runtime_error("no such view: " + view);
    }
}

void WriteView(const std::string& path, const ViewData& out)
{
    FILE* header = std::fopen(path.c_str(), "w");
    if (!header)
        throw std::runtime_error("cannot write " + path);
    std::fprintf(header, "outcome %d\npoints %d\nrows %d\nxstart %.17g\nxstep %.9g\nactive0 %d\nactive1 %d\n",
                 int(out.outcome), out.pointCount, out.rows, out.xStart, double(out.xStep), int(out.slotActive[0]),
                 int(out.slotActive[1]));
    for (int i = 0; i < ViewData::kArrays; ++i)
        std::fprintf(header, "unit%d %s\n", i, out.units[size_t(i)].c_str());
    std::fclose(header);
    const size_t count = size_t(out.pointCount) * size_t(out.rows);
    for (int i = 0; i < ViewData::kArrays; ++i) {
        const std::vector<float>& array = out.display[size_t(i)];
        if (array.size() >= count)
            WriteArray(path + "." + std::to_string(i), array.data(), count);
    }
}

// As the octave view's worker runs: one analyser fed block after block.
void Octave(const std::string& path, const Arguments& args)
{
    const std::vector<float> x = ReadSamples(Text(args, "x"));
    auto analyser = std::make_unique<OctaveAnalyser>();
    analyser->Design(Int(args, "bands", 3), OctaveAnalyser::Weighting(Int(args, "weighting", 0)),
                     Double(args, "low"), Double(args, "high"), Double(args, "dt"));
    analyser->SetTimeWeighting(Double(args, "tau"));
    const size_t block = size_t(Int(args, "block", 1024));
    for (size_t done = 0; done < x.size(); done += block)
        analyser->Process(x.data() + done, int(std::min(block, x.size() - done)));
    const int bands = analyser->BandCount();
    std::vector<double> centres(static_cast<size_t>(bands));
    for (int b = 0; b < bands; ++b)
        centres[size_t(b)] = analyser->Centre(b);
    FILE* header = std::fopen(path.c_str(), "w");
    std::fprintf(header, "bands %d\nweighted %.17g\nunweighted %.17g\n", bands, analyser->WeightedTotal(),
                 analyser->UnweightedTotal());
    std::fclose(header);
    WriteArray(path + ".centres", centres.data(), centres.size());
    WriteArray(path + ".levels", analyser->BandLevels().data(), size_t(bands));
}

// As the multimeter view's tick runs: each block appended to a ring of the
// window's size, the statistic taken and the ring cleared once it is full.
void Multimeter(const std::string& path, const Arguments& args)
{
    const std::vector<float> x = ReadSamples(Text(args, "x"));
    const int window = Int(args, "window", 1000);
    const auto statistic = MultimeterStatistic(Int(args, "statistic", int(MultimeterStatistic::Rms)));
    const size_t block = size_t(Int(args, "block", 1024));
    SampleRing ring;
    ring.SetCapacity(window);
    double value = 0.0;
    size_t taken = 0;
    for (size_t done = 0; done < x.size(); done += block) {
        const size_t count = std::min(block, x.size() - done);
        ring.Append(x.data() + done, int(count));
        if (ring.ValidCount() < window)
            continue;
        value = ComputeStatistic(ring, window, statistic);
        ring.Clear();
        taken = done + count;
    }
    FILE* header = std::fopen(path.c_str(), "w");
    std::fprintf(header, "value %.17g\ntaken %zu\n", value, taken);
    std::fclose(header);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: krv_view_compute VIEW|octave|multimeter OUT key=value ...\n");
        return 2;
    }
    const std::string view = argv[1];
    const std::string out = argv[2];
    Arguments args;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t equals = arg.find('=');
        if (equals == std::string::npos) {
            std::fprintf(stderr, "not key=value: %s\n", argv[i]);
            return 2;
        }
        args[arg.substr(0, equals)] = arg.substr(equals + 1);
    }
    try {
        if (view == "octave") {
            Octave(out, args);
        } else if (view == "multimeter") {
            Multimeter(out, args);
        } else {
            ViewData data;
            data.Begin();
            Analyse(view, args, data);
            WriteView(out, data);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "krv_view_compute: %s\n", error.what());
        return 1;
    }
    return 0;
}
