#pragma once
// The process-wide colour scheme: named colours, two brushes and the colour
// map of the active scheme (0 Green, 1 Dark, 2 BW), replaced as a whole.
// UI thread only.

#include <QBrush>
#include <QColor>
#include <vector>

class ColourScheme {
public:
    enum Scheme { Green = 0, Dark = 1, BW = 2 };
    enum MapType { GreyMap = 0, BandedMap = 1, RainbowMap = 2, IronMap = 3 };

    ColourScheme();

    // Sets every colour and both brushes of scheme 0, 1 or 2 and builds its
    // colour map (Green banded, Dark iron, BW grey); any other number changes
    // nothing here.
    void Apply(int scheme);
    // Rebuilds the colour map of type 0 grey, 1 banded, 2 rainbow, 3 iron;
    // any other type leaves it unchanged.
    void BuildColourMap(int type);

    // The map entry for a value already scaled onto 0 .. colourMapCount;
    // indexes outside are clamped.
    QColor MapColour(int index) const;

    QColor graphBackground, graphText, trace1, trace2;
    QColor panelFill, panelLine, panelAccent;
    QColor selectorFirst, selectorSecond, setupButtons, widgetLine;
    QColor drumLight, drumDark;
    QBrush panelBrush, barBrush;

    // Entries 0 .. colourMapCount all exist.
    std::vector<QColor> colourMap;
    int colourMapCount = 0;
    int colourMapType = -1;
    int scheme = -1;
};
