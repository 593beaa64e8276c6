// The smoothing pass. The interior, where all nine weights apply and the divisor is 32,
// adds the four bytes of a pixel at once in 16-bit lanes of one 64-bit word (the largest sum,
// 32 × 255, fits in 13 bits); the border takes the plain definition.
#include "smooth_filter.h"

#include <algorithm>

namespace vm {

namespace {

constexpr int kWeight[3][3] = {{1, 2, 1}, {2, 20, 2}, {1, 2, 1}};

inline std::uint64_t spread(DWORD p)
{
    return (std::uint64_t{p} & 0xFF) | ((std::uint64_t{p} & 0xFF00) << 8) | ((std::uint64_t{p} & 0xFF0000) << 16) |
           ((std::uint64_t{p} & 0xFF000000) << 24);
}

inline DWORD gather(std::uint64_t lanes)
{
    return static_cast<DWORD>((lanes & 0xFF) | ((lanes >> 8) & 0xFF00) | ((lanes >> 16) & 0xFF0000) |
                              ((lanes >> 24) & 0xFF000000));
}

void smooth_interior_row(const DWORD* above, const DWORD* row, const DWORD* below, DWORD* out, long w)
{
    for (long x = 1; x + 1 < w; ++x) {
        const std::uint64_t corners = spread(above[x - 1]) + spread(above[x + 1]) + spread(below[x - 1]) +
                                      spread(below[x + 1]);
        const std::uint64_t sides = spread(above[x]) + spread(below[x]) + spread(row[x - 1]) + spread(row[x + 1]);
        const std::uint64_t sum = corners + 2 * sides + 20 * spread(row[x]);
        out[x] = gather((sum >> 5) & 0x00FF00FF00FF00FFull);
    }
}

} // namespace

DWORD smooth_one_pixel(const DWORD* src, long w, long h, long x, long y)
{
    unsigned sum[4] = {0, 0, 0, 0};
    unsigned weights = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        const long yy = y + dy;
        if (yy < 0 || yy >= h) continue;
        for (int dx = -1; dx <= 1; ++dx) {
            const long xx = x + dx;
            if (xx < 0 || xx >= w) continue;
            const unsigned wt = static_cast<unsigned>(kWeight[dy + 1][dx + 1]);
            const DWORD p = src[yy * w + xx];
            for (int b = 0; b < 4; ++b) sum[b] += wt * ((p >> (8 * b)) & 0xFF);
            weights += wt;
        }
    }
    DWORD result = 0;
    for (int b = 0; b < 4; ++b) result |= static_cast<DWORD>(sum[b] / weights) << (8 * b);
    return result;
}

void smooth_pixels(const DWORD* src, DWORD* dst, long w, long h)
{
    if (w < 1 || h < 1) return;
    for (long y = 0; y < h; ++y) {
        DWORD* out = dst + y * w;
        const bool inner_row = y > 0 && y + 1 < h;
        if (inner_row && w >= 3) {
            smooth_interior_row(src + (y - 1) * w, src + y * w, src + (y + 1) * w, out, w);
            out[0] = smooth_one_pixel(src, w, h, 0, y);
            out[w - 1] = smooth_one_pixel(src, w, h, w - 1, y);
        } else {
            for (long x = 0; x < w; ++x) out[x] = smooth_one_pixel(src, w, h, x, y);
        }
    }
}

} // namespace vm
