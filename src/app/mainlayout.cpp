#include "mainlayout.h"

#include <algorithm>

namespace app {

namespace {

QRect box(int left, int top, int width, int height)
{
    return QRect(left, top, std::max(0, width), std::max(0, height));
}

} // namespace

int boundSplitterLeft(int left, int frameWidth)
{
    const int last = std::max(0, frameWidth - kSplitterWidth);
    if (left < 0)
        left = frameWidth * 2 / 5;
    if (last >= 2 * kSplitterMargin)
        return std::clamp(left, kSplitterMargin, last - kSplitterMargin);
    return std::clamp(left, 0, last);
}

MainLayout computeMainLayout(int windowWidth, int windowHeight,
                             const SplitterPositions &splitterLeft)
{
    MainLayout layout;
    layout.sst = box(0, 0, windowWidth - 120, windowHeight - 800);
    layout.frm = box(60, 360, layout.sst.width() - 120, layout.sst.height() - 360 - 60);
    layout.msf = box(0, 360, layout.frm.width(), layout.frm.height() - 360);
    layout.sst1 = box(0, 0, layout.frm.width(), layout.frm.height());
    layout.frm1 = box(60, 360, layout.sst1.width() - 120, layout.sst1.height() - 360 - 60);
    for (int i = 0; i < kLaidOutAnalysisTabs; ++i) {
        const int top = 600;
        const int height = layout.frm1.height() - top;
        const int split = boundSplitterLeft(splitterLeft[i], layout.frm1.width());
        layout.msf1[i] = box(0, top, split, height);
        layout.splitLine[i] = box(split, top, kSplitterWidth, height);
        const int picLeft = split + kSplitterWidth;
        layout.pic[i] = box(picLeft, top, layout.frm1.width() - picLeft, height);
    }
    return layout;
}

} // namespace app
