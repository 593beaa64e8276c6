#include "framebuffer/box.h"

#include <algorithm>

void CBox::MaxBox(CBox other)
{
    const long right = std::max(x + width, other.x + other.width);
    const long bottom = std::max(y + height, other.y + other.height);
    x = std::min(x, other.x);
    y = std::min(y, other.y);
    width = right - x;
    height = bottom - y;
}

int CBox::ClipBox(int limit_w, int limit_h)
{
    int changed = 0;
    if (x < 0) { width += x; x = 0; changed = 1; }
    if (x + width > limit_w) { width = limit_w - x; changed = 1; }
    if (width < 0) { width = 0; changed = 1; }
    if (y < 0) { height += y; y = 0; changed = 1; }
    if (y + height > limit_h) { height = limit_h - y; changed = 1; }
    if (height < 0) { height = 0; changed = 1; }
    return changed;
}
