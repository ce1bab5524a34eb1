#pragma once

#include <QRect>

#include <array>

namespace app {

// Positions and sizes of the main window's controls, in twips, each relative
// to its container: the record tab control in the window, a record frame in
// the tab control, a record grid in its frame, the analysis tab control in
// the analysis frame, an analysis frame in the analysis tab control, and
// the grid, splitter bar and chart picture in their analysis frame.
// The analysis tabs laid out side by side in the analysis frame.
inline constexpr int kLaidOutAnalysisTabs = 5;
using SplitterPositions = std::array<int, kLaidOutAnalysisTabs>;

struct MainLayout
{
    QRect sst;
    QRect frm;
    QRect msf;
    QRect sst1;
    QRect frm1;
    std::array<QRect, kLaidOutAnalysisTabs> msf1;
    std::array<QRect, kLaidOutAnalysisTabs> splitLine;
    std::array<QRect, kLaidOutAnalysisTabs> pic;
};

// Width of the splitter bar and the room kept on each side of it.
inline constexpr int kSplitterWidth = 45;
inline constexpr int kSplitterMargin = 300;

// A splitter position (left edge, twips) kept inside a frame of frameWidth:
// at least kSplitterMargin from either side where the frame is wide enough,
// never outside it. A negative position (never placed) puts the bar at 40 %
// of the frame.
int boundSplitterLeft(int left, int frameWidth);

// The layout for a window of the given outer size with the splitter bars
// at splitterLeft (bounded with boundSplitterLeft). Sizes that would be
// negative in a very small window become 0.
MainLayout computeMainLayout(int windowWidth, int windowHeight,
                             const SplitterPositions &splitterLeft);

} // namespace app
