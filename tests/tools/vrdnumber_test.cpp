// The numbers of a recording header: the grammar on its own, and the
// corpus of hostile header lines that the Python reader's test reads too,
// through the vrd program and its reader.
#include "support/testenvironment.h"
#include "vrdfile.h"
#include "vrdprogram.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {
// One case of data/hostile_headers.txt.
struct HeaderCase {
    bool ok = false;
    std::string value; // "-": not checked
    bool add = false;
    std::string line;
    int number = 0; // line of the corpus file
};

std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 't')
            out += '\t';
        else if (c == 'r')
            out += '\r';
        else if (c == 'x' && i + 2 < text.size()) {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else
            out += c;
    }
    return out;
}

struct Corpus {
    std::vector<std::string> templateLines;
    std::vector<HeaderCase> cases;
};

Corpus ReadCorpus()
{
    Corpus corpus;
    std::ifstream in(KRV_VRD_TEST_DATA "/hostile_headers.txt");
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (text.empty() || text[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::stringstream split(text);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        if (fields[0] == "template") {
            corpus.templateLines.push_back(fields.at(1));
            continue;
        }
        fields.resize(4); // an empty last field
        corpus.cases.push_back({fields[0] == "ok", fields[1], fields[2] == "add", Unescape(fields[3]), number});
    }
    return corpus;
}

std::string KeyOf(const std::string& line) { return line.substr(0, line.find(':')); }

// The recording of a case: a head, two blocks of 2 channels x 4 zeros, the
// header with the case's line set or added.
std::string RecordingOf(const Corpus& corpus, const HeaderCase& c)
{
    std::vector<std::string> lines = corpus.templateLines;
    size_t at = lines.size();
    for (size_t i = 0; i < lines.size() && at == lines.size(); ++i)
        if (c.line.find(':') != std::string::npos && KeyOf(lines[i]) == KeyOf(c.line))
            at = i;
    if (at == lines.size()) {
        for (at = 0; lines[at] != "endchannel:"; ++at) {}
        lines.insert(lines.begin() + long(at), c.line);
    } else if (c.add) {
        lines.insert(lines.begin() + long(at) + 1, c.line);
    } else {
        lines[at] = c.line;
    }
    std::string header;
    for (const std::string& line : lines)
        header += line + "\r\n";
    std::string bytes(32 + 2 * 2 * 4 * 4, '\0');
    bytes.replace(0, 6, "Vorn64");
    bytes[8] = char(bytes.size());
    return bytes + header;
}

// What the case's line sets, as the reader gives it.
double FieldOf(const VrdFile& file, const std::string& key)
{
    if (key == "clk")
        return file.Channels()[0].clk;
    if (key == "pchan")
        return double(file.Channels()[0].pchan);
    if (key == "frames")
        return double(file.Frames());
    return double(file.BlockFrames());
}

TEST(VrdNumberTest, HostileHeaderLinesGetTheVerdictsThePythonReaderGives)
{
    TestEnvironment env;
    const Corpus corpus = ReadCorpus();
    ASSERT_EQ(corpus.templateLines.size(), 20u);
    ASSERT_GT(corpus.cases.size(), 80u);
    const std::string path = env.Root() + "/case.vrd";
    int okCases = 0;
    for (const HeaderCase& c : corpus.cases) {
        const std::string what = "corpus line " + std::to_string(c.number) + ": " + c.line;
        VrdProgram::Write(path, RecordingOf(corpus, c));
        const VrdProgram::Result info = VrdProgram::Run("info " + path);
        EXPECT_EQ(info.status, c.ok ? 0 : 1) << what << "\n" << info.out;
        VrdFile file;
        ASSERT_EQ(file.Load(path), c.ok) << what << ": " << file.Error();
        if (!c.ok) {
            EXPECT_NE(file.Error().find("header"), std::string::npos) << what << ": " << file.Error();
            continue;
        }
        ++okCases;
        if (c.value != "-") {
            const double field = FieldOf(file, KeyOf(c.line));
            // Bit for bit: both readers round to the nearest double.
            EXPECT_EQ(field, std::strtod(c.value.c_str(), nullptr)) << what;
        }
    }
    EXPECT_GT(okCases, 20);
}

// The sample periods KRV writes ("%g" in the C locale, and in a locale
// with a decimal comma before that was fixed) read back exactly.
TEST(VrdNumberTest, EverySamplePeriodKrvWritesReadsBack)
{
    TestEnvironment env;
    const Corpus corpus = ReadCorpus();
    const std::string path = env.Root() + "/rates.vrd";
    for (const double rate : {1.0, 1000.0, 8000.0, 22050.0, 44100.0, 48000.0, 51200.0, 96000.0, 8388608.0}) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", 1.0 / rate);
        for (const bool comma : {false, true}) {
            std::string value = text;
            if (comma && value.find('.') != std::string::npos)
                value[value.find('.')] = ',';
            VrdProgram::Write(path, RecordingOf(corpus, {true, "-", false, "clk:" + value, 0}));
            VrdFile file;
            ASSERT_TRUE(file.Load(path)) << value << ": " << file.Error();
            EXPECT_EQ(file.Channels()[0].clk, std::strtod(text, nullptr)) << value;
        }
    }
}
} // namespace
