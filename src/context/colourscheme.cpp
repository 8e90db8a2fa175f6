#include "colourscheme.h"

#include <array>
#include <cstdint>

namespace {

struct SchemeColours {
    QRgb graphBackground, graphText, trace1, trace2;
    QRgb panelFill, panelLine, panelAccent;
    QRgb selectorFirst, selectorSecond, setupButtons, widgetLine;
    QRgb drumLight, drumDark;
    QRgb panelBrush, barBrush;
    int mapType;
};

// Indexed by scheme number: Green, Dark, BW.
constexpr std::array<SchemeColours, 3> kSchemes = {{
    {0xF0FAF0, 0x000000, 0x0000FF, 0xFF8000, 0xC8C8C8, 0x5A5A5A, 0xED1C24, 0x4D74A8, 0xFFFF5A,
     0x5A82A8, 0x404C55, 0xFFFFA0, 0x808050, 0x80BFBF, 0x5A5A5A, ColourScheme::BandedMap},
    {0x313C42, 0xFFFFFF, 0x99D9EA, 0xFF8000, 0x5A5A5A, 0xC8C8C8, 0xED1C24, 0x003851, 0xFFFF5A,
     0x004682, 0x404C55, 0xFFFFA0, 0x808080, 0x323232, 0x5A5A5A, ColourScheme::IronMap},
    {0xFFFFFF, 0x000000, 0x70A4BE, 0xFF7F27, 0xF0F0F0, 0xC8C8C8, 0xED1C24, 0xFFFFFF, 0x000000,
     0x004682, 0x404C55, 0x000000, 0xE0E0E0, 0xFFFFFF, 0xF5F5F5, ColourScheme::GreyMap},
}};

// The iron map, red, green, blue per entry.
constexpr std::uint8_t kIron[120][3] = {
    {0, 0, 0}, {0, 0, 36}, {0, 0, 51}, {0, 0, 66}, {0, 0, 81}, {2, 0, 90}, {4, 0, 99}, {7, 0, 106},
    {11, 0, 115}, {14, 0, 119}, {20, 0, 123}, {27, 0, 128}, {33, 0, 133}, {41, 0, 137}, {48, 0, 140}, {55, 0, 143},
    {61, 0, 146}, {66, 0, 149}, {72, 0, 150}, {78, 0, 151}, {84, 0, 152}, {91, 0, 153}, {97, 0, 155}, {104, 0, 155},
    {110, 0, 156}, {115, 0, 157}, {122, 0, 157}, {128, 0, 157}, {134, 0, 157}, {139, 0, 157}, {146, 0, 156}, {152, 0, 155},
    {157, 0, 155}, {162, 0, 155}, {167, 0, 154}, {171, 0, 153}, {175, 1, 152}, {178, 1, 151}, {182, 2, 149}, {185, 4, 149},
    {188, 5, 147}, {191, 6, 146}, {193, 8, 144}, {195, 11, 142}, {198, 13, 139}, {201, 17, 135}, {203, 20, 132}, {206, 23, 127},
    {208, 26, 121}, {210, 29, 116}, {212, 33, 111}, {214, 37, 103}, {217, 41, 97}, {219, 46, 89}, {221, 49, 78}, {223, 53, 66},
    {224, 56, 54}, {226, 60, 42}, {228, 64, 30}, {229, 68, 25}, {231, 72, 20}, {232, 76, 16}, {234, 78, 12}, {235, 82, 10},
    {236, 86, 8}, {237, 90, 7}, {238, 93, 5}, {239, 96, 4}, {240, 100, 3}, {241, 103, 3}, {241, 106, 2}, {242, 109, 1},
    {243, 113, 1}, {244, 116, 0}, {244, 120, 0}, {245, 125, 0}, {246, 129, 0}, {247, 133, 0}, {248, 136, 0}, {248, 139, 0},
    {249, 142, 0}, {249, 145, 0}, {250, 149, 0}, {251, 154, 0}, {252, 159, 0}, {253, 163, 0}, {253, 168, 0}, {253, 172, 0},
    {254, 176, 0}, {254, 179, 0}, {254, 184, 0}, {254, 187, 0}, {254, 191, 0}, {254, 195, 0}, {254, 199, 0}, {254, 202, 1},
    {254, 205, 2}, {254, 208, 5}, {254, 212, 9}, {254, 216, 12}, {255, 219, 15}, {255, 221, 23}, {255, 224, 32}, {255, 227, 39},
    {255, 229, 50}, {255, 232, 63}, {255, 235, 75}, {255, 238, 88}, {255, 239, 102}, {255, 241, 116}, {255, 242, 134}, {255, 244, 149},
    {255, 245, 164}, {255, 247, 179}, {255, 248, 192}, {255, 249, 203}, {255, 251, 216}, {255, 253, 228}, {255, 254, 239}, {255, 255, 249},
};

void BuildGrey(std::vector<QColor>& map)
{
    map.assign(256, QColor());
    for (int i = 0; i < 255; ++i)
        map[i] = QColor(i, i, i);
    map[255] = map[254];
}

// Three runs of 85: dark blue towards grey-blue, then blue to green-yellow,
// then yellow to red. Divisions are exact; every conversion truncates.
void BuildBanded(std::vector<QColor>& map)
{
    map.assign(256, QColor());
    for (int i = 0; i <= 84; ++i) {
        double e = 1.0 - (85 - i) / 1700.0;
        int green = int(255 - 191.0 * i / 85);
        int blue = int(255 - 64.0 * i / 85);
        map[i] = QColor(int(e * (255 - 3 * i)), int(e * green), int(e * blue));
    }
    for (int j = 0; j <= 84; ++j)
        map[85 + j] = QColor(3 * j, int(64 + 191.0 * j / 85), int(191 - 191.0 * j / 85));
    for (int k = 0; k <= 84; ++k)
        map[170 + k] = QColor(255, 255 - 3 * k, 0);
    map[255] = map[254];
}

void BuildRainbow(std::vector<QColor>& map)
{
    map.clear();
    map.reserve(1275);
    for (int i = 0; i < 255; ++i) map.emplace_back(0, 0, i);
    for (int i = 0; i < 255; ++i) map.emplace_back(i, 0, 255);
    for (int i = 0; i < 255; ++i) map.emplace_back(255, 0, 255 - i);
    for (int i = 0; i < 255; ++i) map.emplace_back(255, i, 0);
    for (int i = 0; i < 255; ++i) map.emplace_back(255, 255, i);
}

void BuildIron(std::vector<QColor>& map)
{
    map.clear();
    map.reserve(121);
    for (const auto& entry : kIron)
        map.emplace_back(entry[0], entry[1], entry[2]);
    map.push_back(map.back());
}

} // namespace

ColourScheme::ColourScheme() { Apply(Dark); }

void ColourScheme::Apply(int number)
{
    if (number < 0 || number >= int(kSchemes.size()))
        return;
    const SchemeColours& s = kSchemes[number];
    graphBackground = QColor(s.graphBackground);
    graphText = QColor(s.graphText);
    trace1 = QColor(s.trace1);
    trace2 = QColor(s.trace2);
    panelFill = QColor(s.panelFill);
    panelLine = QColor(s.panelLine);
    panelAccent = QColor(s.panelAccent);
    selectorFirst = QColor(s.selectorFirst);
    selectorSecond = QColor(s.selectorSecond);
    setupButtons = QColor(s.setupButtons);
    widgetLine = QColor(s.widgetLine);
    drumLight = QColor(s.drumLight);
    drumDark = QColor(s.drumDark);
    panelBrush = QBrush(QColor(s.panelBrush));
    barBrush = QBrush(QColor(s.barBrush));
    scheme = number;
    BuildColourMap(s.mapType);
}

void ColourScheme::BuildColourMap(int type)
{
    switch (type) {
    case GreyMap: BuildGrey(colourMap); colourMapCount = 255; break;
    case BandedMap: BuildBanded(colourMap); colourMapCount = 255; break;
    case RainbowMap: BuildRainbow(colourMap); colourMapCount = 1274; break;
    case IronMap: BuildIron(colourMap); colourMapCount = 120; break;
    default: return;
    }
    colourMapType = type;
}

QColor ColourScheme::MapColour(int index) const
{
    if (index < 0)
        index = 0;
    if (index > colourMapCount)
        index = colourMapCount;
    return colourMap[index];
}
