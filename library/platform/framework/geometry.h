// CPoint, CSize and CRect: the framework's small value types over POINT, SIZE and RECT.
//
// Only what the library's classes and their callers use is here. Coordinates are 32-bit, as
// the plain records they extend.
#pragma once

#include "platform/framework/win_types.h"

class CSize;

class CPoint : public POINT {
public:
    constexpr CPoint() : POINT{0, 0} {}
    constexpr CPoint(long x0, long y0) : POINT{static_cast<LONG>(x0), static_cast<LONG>(y0)} {}
    constexpr CPoint(const POINT& p) : POINT(p) {}

    constexpr bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    constexpr bool operator!=(const CPoint& o) const { return !(*this == o); }
    constexpr CPoint operator+(const CPoint& o) const { return CPoint(x + o.x, y + o.y); }
    constexpr CPoint operator-(const CPoint& o) const { return CPoint(x - o.x, y - o.y); }
    constexpr CPoint& operator+=(const CPoint& o) { x += o.x; y += o.y; return *this; }
    constexpr CPoint& operator-=(const CPoint& o) { x -= o.x; y -= o.y; return *this; }
    constexpr void Offset(long dx, long dy) { x += static_cast<LONG>(dx); y += static_cast<LONG>(dy); }
};

class CSize : public SIZE {
public:
    constexpr CSize() : SIZE{0, 0} {}
    constexpr CSize(long cx0, long cy0) : SIZE{static_cast<LONG>(cx0), static_cast<LONG>(cy0)} {}
    constexpr CSize(const SIZE& s) : SIZE(s) {}

    constexpr bool operator==(const CSize& o) const { return cx == o.cx && cy == o.cy; }
    constexpr bool operator!=(const CSize& o) const { return !(*this == o); }
    constexpr CSize operator+(const CSize& o) const { return CSize(cx + o.cx, cy + o.cy); }
    constexpr CSize operator-(const CSize& o) const { return CSize(cx - o.cx, cy - o.cy); }
};

class CRect : public RECT {
public:
    constexpr CRect() : RECT{0, 0, 0, 0} {}
    constexpr CRect(long l, long t, long r, long b)
        : RECT{static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r), static_cast<LONG>(b)} {}
    constexpr CRect(const RECT& r) : RECT(r) {}
    constexpr CRect(POINT p, SIZE s) : RECT{p.x, p.y, p.x + s.cx, p.y + s.cy} {}
    constexpr CRect(POINT tl, POINT br) : RECT{tl.x, tl.y, br.x, br.y} {}

    constexpr long Width() const { return right - left; }
    constexpr long Height() const { return bottom - top; }
    constexpr CSize Size() const { return CSize(Width(), Height()); }
    constexpr CPoint TopLeft() const { return CPoint(left, top); }
    constexpr CPoint BottomRight() const { return CPoint(right, bottom); }
    constexpr CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
    constexpr bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    constexpr bool PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    constexpr void SetRect(long l, long t, long r, long b)
    {
        left = static_cast<LONG>(l); top = static_cast<LONG>(t);
        right = static_cast<LONG>(r); bottom = static_cast<LONG>(b);
    }
    constexpr void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    constexpr void OffsetRect(long dx, long dy)
    {
        left += static_cast<LONG>(dx); right += static_cast<LONG>(dx);
        top += static_cast<LONG>(dy); bottom += static_cast<LONG>(dy);
    }
    // Swaps the edges so that left <= right and top <= bottom.
    constexpr void NormalizeRect()
    {
        if (left > right) { LONG t = left; left = right; right = t; }
        if (top > bottom) { LONG t = top; top = bottom; bottom = t; }
    }
    constexpr bool operator==(const CRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    constexpr bool operator!=(const CRect& o) const { return !(*this == o); }
    constexpr operator RECT*() { return this; }
    constexpr operator const RECT*() const { return this; }
};
