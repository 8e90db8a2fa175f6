#pragma once
// The cells of a colour-map display such as the spectrogram (segments
// across, frequency bins up) written as
// the pixels of an image through the colour map: every device pixel takes
// the colour of the cell that covers its centre, so the cost follows the
// plot's pixels, not the number of cells, and the result is drawn with one
// drawImage. The image is kept and only rendered again when its inputs
// change (new data, size, ranges or colour map). UI thread only.

#include "views/axistransform.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <cstdint>
#include <vector>

class ColourMapImage {
public:
    struct Input {
        const float* values = nullptr; // segment S's bins start at S × bins
        int segments = 0;              // D
        int bins = 0;                  // point count
        double binStart = 0.0;         // frequency of bin 0
        double binStep = 1.0;          // Hz per bin
        double levelMin = 0.0, levelMax = 1.0;
        AxisTransform frequency;       // vertical: frequency to pixel
        unsigned generation = 0;       // changes whenever the values change
    };

    // The image for a part of the plot (logical pixels) at the device pixel
    // ratio; rendered again only when something it depends on changed.
    const QImage& Render(const Input& input, const QRect& part, double dpr, const std::vector<QColor>& colourMap,
                         int colourMapCount, const QColor& background);

    // How often Render had to write the pixels (for tests).
    int RenderCount() const { return m_renders; }

private:
    bool Same(const Input& input, const QRect& part, double dpr, const std::vector<QColor>& map, int mapCount,
              const QColor& background) const;
    void Fill(const Input& input, const QRect& part, double dpr, int mapCount, QRgb background);

    QImage m_image;
    std::vector<int> m_columnSegment; // per device column: segment, or -1
    std::vector<int> m_rowBin;        // per device row: bin, or -1
    std::vector<QRgb> m_colours;
    // What the image shows.
    Input m_input;
    QRect m_part;
    double m_dpr = 0.0;
    int m_mapCount = -1;
    QRgb m_background = 0;
    int m_renders = 0;
};
