#pragma once
// The graph views' own mouse shapes: 139 over the x scale (wheel zooms the
// range), 140 over a colour scale (wheel steps the colour map). Made once
// from drawn pixmaps. UI thread only.

#include <QCursor>

// The shape of a resource number; the arrow for any other number.
QCursor GraphCursor(int id);
