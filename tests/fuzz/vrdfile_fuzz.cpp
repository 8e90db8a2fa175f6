// The recording reader of vrd on arbitrary files, with or without a side
// record beside them. The input is the recording; if it holds the line
// "\n--side record--\n", what follows is the side record "<file>.hdr".
//
// Whatever the bytes, loading gives an answer; a loaded file's frames lie
// within the file and read back; a header text parses or is refused, with
// finite sample periods; a repair that succeeds leaves a whole recording
// with the frames it said, and one that fails leaves the file as it was.

#include "tools/vrd/vrdfile.h"
#include "tools/vrd/vrdheader.h"
#include "tools/vrd/vrdrepair.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {
constexpr std::string_view kSideMarker = "\n--side record--\n";

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "vrd reader: %s\n", what);
    std::abort();
}

// The working folder, a plain array so that it outlives the exit handler
// that removes it.
char g_folder[64];

std::string Folder()
{
    if (!g_folder[0]) {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::snprintf(g_folder, sizeof g_folder, "%s/vrdfuzz-XXXXXX", base);
        if (!mkdtemp(g_folder))
            Fail("no temporary folder");
        std::atexit([] {
            const std::string folder = g_folder;
            unlink((folder + "/f.vrd").c_str());
            unlink((folder + "/f.vrd.hdr").c_str());
            rmdir(folder.c_str());
        });
    }
    return g_folder;
}

void Write(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Reads every frame in pieces; the frames of a loaded file lie inside it.
void ReadAll(VrdFile& file)
{
    const uint64_t values = uint64_t(file.Frames()) * file.Channels().size();
    if (values > file.FileSize() / 4)
        Fail("more values than the file can hold");
    std::vector<float> out;
    const int64_t chunk = std::max<int64_t>(1, 4096 / int64_t(std::max<size_t>(1, file.Channels().size())));
    for (int64_t first = 0; first < file.Frames(); first += chunk) {
        const int count = int(std::min(chunk, file.Frames() - first));
        if (!file.ReadFrames(first, count, out))
            Fail("a frame inside the recording does not read");
    }
    if (file.ReadFrames(file.Frames(), 1, out))
        Fail("a frame beyond the recording reads");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    VrdHeader header;
    std::string why;
    if (!header.Parse(input, why) && why.empty())
        Fail("a refused header without a reason");
    for (const VrdHeader::Channel& channel : header.channels)
        if (!std::isfinite(channel.clk))
            Fail("a header with a sample period that is no finite number");

    const size_t marker = input.find(kSideMarker);
    const std::string_view recording = input.substr(0, marker);
    const std::string path = Folder() + "/f.vrd";
    Write(path, recording);
    if (marker != std::string_view::npos)
        Write(path + ".hdr", input.substr(marker + kSideMarker.size()));
    else
        unlink((path + ".hdr").c_str());

    VrdFile file;
    if (!file.Load(path)) {
        if (file.Error().empty() || file.Error().find('\n') != std::string::npos)
            Fail("an error without a one-line reason");
        return 0;
    }
    if (file.HasHeader() || file.HasLayout())
        ReadAll(file);
    if (!file.HasHeader() && recording.size() >= 20) {
        VrdFile assumed;
        if (assumed.Load(path) && assumed.AssumeLayout(1 + data[16] % 64, 1 + data[17] % 256))
            ReadAll(assumed);
    }

    std::string report;
    if (!RepairVrd(file, report, why)) {
        if (ReadFile(path) != recording ||
            (marker != std::string_view::npos && ReadFile(path + ".hdr") != input.substr(marker + kSideMarker.size())))
            Fail("a failed repair changed the recording or its side record");
        return 0;
    }
    const int64_t frames = file.Frames();
    VrdFile repaired;
    if (!repaired.Load(path) || repaired.GetState() != VrdFile::State::Closed)
        Fail("a repaired recording is not whole");
    if (repaired.Frames() != frames)
        Fail("a repair changed the frame count");
    ReadAll(repaired);
    return 0;
}
