#include "colourscheme.h"

ColourScheme::ColourScheme() { Apply(1); }

void ColourScheme::Apply(int scheme)
{
    // Dark until the full tables land.
    if (scheme < 0 || scheme > 2)
        return;
    graphBackground = QColor(0x313C42);
    graphText = QColor(0xFFFFFF);
    trace1 = QColor(0x99D9EA);
    trace2 = QColor(0xFF8000);
    panelFill = QColor(0x5A5A5A);
    panelLine = QColor(0xC8C8C8);
    panelAccent = QColor(0xED1C24);
    selectorFirst = QColor(0x003851);
    selectorSecond = QColor(0xFFFF5A);
    setupButtons = QColor(0x004682);
    widgetLine = QColor(0x404C55);
    drumLight = QColor(0xFFFFA0);
    drumDark = QColor(0x808080);
    panelBrush = QBrush(QColor(0x323232));
    barBrush = QBrush(QColor(0x5A5A5A));
    BuildColourMap(0);
}

void ColourScheme::BuildColourMap(int type)
{
    if (type != 0)
        return;
    colourMap.assign(256, QColor());
    for (int i = 0; i < 255; ++i)
        colourMap[i] = QColor(i, i, i);
    colourMap[255] = colourMap[254];
    colourMapCount = 255;
    colourMapType = 0;
}
