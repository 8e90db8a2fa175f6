#pragma once
// The record a CGridCtrl passes its owner, by address in the first
// parameter of its notification message (the second carries the wheel
// delta of kind Wheel). For kind RowCount the owner sets the message's
// result to the number of rows.

#include <QString>
#include <Qt>

class QPainter;

struct GridNotify {
    enum Kind {
        Paint = 0,            // draw the cell's content in the inner rectangle
        Selected = 1,         // the cell became the selected cell
        DoubleClicked = 2,
        EditFinished = 3,     // text: what the in-place editor or the drum chose
        RowCount = 4,         // answer with the number of rows
        ContextMenu = 5,      // x, y: global position of the request
        HeaderClicked = 6,
        HeaderContextMenu = 7,
        Wheel = 8,            // up: turned away from the user
    };

    int kind = Paint;
    QPainter* painter = nullptr; // Paint: grid font selected, clipped to nothing
    int left = 0, top = 0, right = 0, bottom = 0; // the cell; Paint: one pixel inside the outline
    int row = -1;                // -1: the header band
    int column = -1;
    int x = 0, y = 0;
    QString text;
    bool up = false;
    // EditFinished: the text is an explicit choice (an item picked from the
    // drop-down list or the drum), not just the editor ended.
    bool chosen = false;
    // Keyboard modifiers held at the mouse action (Selected, DoubleClicked,
    // ContextMenu, Wheel): owners mark rows with Shift and Ctrl.
    Qt::KeyboardModifiers modifiers;
};
