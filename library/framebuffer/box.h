// CBox and CMoveBox: the rectangles of frame-buffer areas.
//
// A CBox is a position and a size with exclusive right and bottom edges; it is an area only
// when both sizes are at least 1. A CMoveBox is an area copied from one place to another:
// first the position it is put to, then the position it is taken from, then the size.
#pragma once

#include "core/zorvik_api.h"
#include "platform/framework/geometry.h"

class ZORVIK_API CBox {
public:
    CBox() = default;
    CBox(int x0, int y0, int w, int h) { SetBox(x0, y0, w, h); }
    CBox(long x0, long y0, long w, long h) { SetBox(x0, y0, w, h); }
    CBox(const CBox& o) = default;
    CBox(const RECT& r) { SetBox(r); }
    CBox(const RECT* r) { SetBox(r); }
    CBox(CRect& r) { SetBox(r); }
    CBox(POINT pos, SIZE size) { SetBox(pos, size); }
    CBox(POINT top_left, POINT bottom_right) { SetBox(top_left, bottom_right); }
    CBox& operator=(const CBox& o) = default;

    void SetBox(int x0, int y0, int w, int h) { SetBox(long{x0}, long{y0}, long{w}, long{h}); }
    void SetBox(long x0, long y0, long w, long h) { x = x0; y = y0; width = w; height = h; }
    void SetBox(const CBox& o) { *this = o; }
    void SetBox(const RECT& r) { SetBox(long{r.left}, long{r.top}, long{r.right} - r.left, long{r.bottom} - r.top); }
    void SetBox(const RECT* r) { SetBox(*r); }
    void SetBox(CRect& r) { SetBox(static_cast<const RECT&>(r)); }
    void SetBox(POINT pos, SIZE size) { SetBox(long{pos.x}, long{pos.y}, long{size.cx}, long{size.cy}); }
    void SetBox(POINT tl, POINT br) { SetBox(long{tl.x}, long{tl.y}, long{br.x} - tl.x, long{br.y} - tl.y); }

    long Width() const { return width; }
    long Height() const { return height; }
    CSize Size() const { return CSize(width, height); }
    CPoint TopLeft() const { return CPoint(x, y); }
    CPoint BottomRight() const { return CPoint(x + width, y + height); }
    CRect GetRect() const { return CRect(x, y, x + width, y + height); }
    int ChEria() const { return width >= 1 && height >= 1 ? 1 : 0; }

    // Grows this box to the smallest box holding both, empty boxes included as they stand.
    void MaxBox(CBox other);
    // Clips to (0, 0)-(limit_w, limit_h); 1 when any field changed.
    int ClipBox(int limit_w, int limit_h);

    bool operator==(const CBox& o) const = default;

    long x = 0;
    long y = 0;
    long width = 0;
    long height = 0;
};

class ZORVIK_API CMoveBox {
public:
    CMoveBox() = default;
    CMoveBox(int x1, int y1, int x2, int y2, int w, int h) { SetBox(x1, y1, x2, y2, w, h); }
    CMoveBox(long x1, long y1, long x2, long y2, long w, long h) { SetBox(x1, y1, x2, y2, w, h); }
    CMoveBox(const CMoveBox& o) = default;
    CMoveBox(const CMoveBox* o) { SetBox(o); }
    CMoveBox& operator=(const CMoveBox& o) = default;
    virtual ~CMoveBox() = default;

    void SetBox(int x1, int y1, int x2, int y2, int w, int h)
    {
        SetBox(long{x1}, long{y1}, long{x2}, long{y2}, long{w}, long{h});
    }
    void SetBox(long x1, long y1, long x2, long y2, long w, long h)
    {
        this->x1 = x1; this->y1 = y1; this->x2 = x2; this->y2 = y2; width = w; height = h;
    }
    void SetBox(const CMoveBox& o) { *this = o; }
    void SetBox(const CMoveBox* o) { if (o) *this = *o; }

    long x1 = 0;  // first: where the area is put
    long y1 = 0;
    long x2 = 0;  // second: where the area is taken from
    long y2 = 0;
    long width = 0;
    long height = 0;
};
