// Where a Fiesta channel's picture lands on the output: the 2D DVE record's position and size
// and the crop record turned into the output rectangle and, for every output column and row
// inside it, the column and row of the frame store it shows (or none, where cropped).
//
// The placed rectangle starts at (x·720, y·486) and is (w·720) × (h·486) pixels, each rounded
// to the nearest pixel (halves up); a negative size mirrors the picture about that corner.
// Output pixel (X, Y) inside it shows store column floor((2(X − x0) + 1)·720 / (2·w0)) and
// row floor((2(Y − y0) + 1)·486 / (2·h0)): the store pixel under the output pixel's centre.
// A crop cuts round(left·720) columns from the left of the store, round(right·720) from the
// right, and the same for rows; what it cuts shows nothing. In a field freeze every store row
// shows the first field's line of its pair (row | 1), so both fields carry the same lines.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/board/mixer/mixer_records.h"

namespace zk::mixer {

struct Placement {
    // The placed rectangle as given by the record, before clipping to the output.
    long x0 = 0, y0 = 0, width = 0, height = 0;
    // The part of the output it covers: columns [left, right), rows [top, bottom).
    int left = 0, top = 0, right = 0, bottom = 0;
    std::vector<std::int32_t> columns; // per output column from left: store column or -1
    std::vector<std::int32_t> rows;    // per output row from top: store row or -1
    bool identity = false;             // store shown 1:1 at (0, 0), nothing cropped
    bool empty() const { return right <= left || bottom <= top; }
};

// `field_freeze`: the channel displays one field.
Placement place_channel(const Dve2D& dve, const Crop& crop, bool field_freeze, int out_width = 720,
                        int out_height = 486, int store_width = 720, int store_height = 486);

// The fixed-point value v (24 fraction bits) times n, rounded to the nearest integer.
long fixed_times(std::int32_t v, long n);

} // namespace zk::mixer
