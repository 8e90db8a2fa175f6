#pragma once
// The eleven kinds of graph view a page holds, and the table that makes a
// view of each kind. A kind whose view class is not built has no entry:
// the page then holds no view of that kind and disables its tab.

#include <array>

class CGraphWnd;
class MainFrame;
class QWidget;

// In the order of a page's settings blocks.
enum class ViewKind { Time, Fft, Psd, Frf, Coh, Crs, Ccr, Acr, Spg, Oct, Dmm };
inline constexpr int kViewKindCount = 11;

// Constructs a view (not yet created) owned by parent.
using ViewFactory = CGraphWnd* (*)(MainFrame* frame, QWidget* parent);
using ViewFactories = std::array<ViewFactory, kViewKindCount>;

template <class View> CGraphWnd* MakeView(MainFrame* frame, QWidget* parent) { return new View(frame, parent); }

// The views of this program, indexed by ViewKind.
const ViewFactories& RegisteredViews();
