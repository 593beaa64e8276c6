// The optional resize module: a shared object the library loads at start-up when it lies
// beside it (or is named by ZORVIK_RESIZE_MODULE), exporting the routine of the contract in
// resize_contract.h. Frame buffers then resize through it instead of the exact bilinear
// resampler: by area averaging (supersampling) when shrinking and by cubic convolution
// (Catmull-Rom) when enlarging.
//
// Both are separable: first every target row is built as a weighted sum of source rows (one
// long vectorisable loop over the row's bytes), then every target pixel as a weighted sum of
// pixels of that row (four channels at once). Weights are computed once per call.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "framebuffer/resize_module/resize_contract.h"

namespace {

struct Taps {
    int first = 0;                // first source index
    std::vector<float> weights;   // weights of first, first + 1, ...
};

// Area averaging along one axis: target i covers source [i/f, (i+1)/f).
std::vector<Taps> super_taps(int src, int dst, double factor)
{
    std::vector<Taps> taps(static_cast<size_t>(dst));
    const double scale = 1.0 / factor;
    for (int i = 0; i < dst; ++i) {
        const double a = std::min(i * scale, static_cast<double>(src));
        const double b = std::min((i + 1) * scale, static_cast<double>(src));
        int j0 = static_cast<int>(std::floor(a));
        int j1 = std::max(j0 + 1, static_cast<int>(std::ceil(b)));
        j0 = std::clamp(j0, 0, src - 1);
        j1 = std::clamp(j1, j0 + 1, src);
        Taps& t = taps[static_cast<size_t>(i)];
        t.first = j0;
        double total = 0;
        for (int j = j0; j < j1; ++j) {
            const double overlap = std::max(0.0, std::min(b, j + 1.0) - std::max(a, static_cast<double>(j)));
            t.weights.push_back(static_cast<float>(overlap));
            total += overlap;
        }
        if (total <= 0) {
            t.weights.assign(1, 1.0f);
            continue;
        }
        for (float& w : t.weights) w = static_cast<float>(w / total);
    }
    return taps;
}

double catmull_rom(double x)
{
    x = std::fabs(x);
    if (x < 1) return 1.5 * x * x * x - 2.5 * x * x + 1;
    if (x < 2) return -0.5 * x * x * x + 2.5 * x * x - 4 * x + 2;
    return 0;
}

// Cubic convolution along one axis, centre-aligned, edges repeated.
std::vector<Taps> cubic_taps(int src, int dst, double factor)
{
    std::vector<Taps> taps(static_cast<size_t>(dst));
    for (int i = 0; i < dst; ++i) {
        const double pos = (i + 0.5) / factor - 0.5;
        const int base = static_cast<int>(std::floor(pos));
        double w[4];
        double total = 0;
        for (int k = 0; k < 4; ++k) {
            w[k] = catmull_rom(pos - (base - 1 + k));
            total += w[k];
        }
        // Fold taps that fall outside the source onto the edge pixels.
        const int lo = std::clamp(base - 1, 0, src - 1);
        const int hi = std::clamp(base + 2, 0, src - 1);
        Taps& t = taps[static_cast<size_t>(i)];
        t.first = lo;
        t.weights.assign(static_cast<size_t>(hi - lo + 1), 0.0f);
        for (int k = 0; k < 4; ++k) {
            const int j = std::clamp(base - 1 + k, 0, src - 1);
            t.weights[static_cast<size_t>(j - lo)] += static_cast<float>(w[k] / total);
        }
    }
    return taps;
}

__attribute__((target_clones("avx2", "default"))) void accumulate_row(float* acc, const unsigned char* row, float w,
                                                                    size_t n)
{
    for (size_t j = 0; j < n; ++j) acc[j] += w * static_cast<float>(row[j]);
}

__attribute__((target_clones("avx2", "default"))) void first_row(float* acc, const unsigned char* row, float w,
                                                               size_t n)
{
    for (size_t j = 0; j < n; ++j) acc[j] = w * static_cast<float>(row[j]);
}

void horizontal(const float* row, const std::vector<Taps>& taps, unsigned char* out)
{
#if defined(__SSE2__)
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128 lo = _mm_setzero_ps();
    const __m128 hi = _mm_set1_ps(255.0f);
    for (size_t x = 0; x < taps.size(); ++x) {
        const Taps& t = taps[x];
        const float* p = row + static_cast<size_t>(t.first) * 4;
        __m128 acc = _mm_setzero_ps();
        for (size_t k = 0; k < t.weights.size(); ++k) {
            acc = _mm_add_ps(acc, _mm_mul_ps(_mm_set1_ps(t.weights[k]), _mm_loadu_ps(p + k * 4)));
        }
        acc = _mm_min_ps(_mm_max_ps(_mm_add_ps(acc, half), lo), hi);
        const __m128i v = _mm_cvttps_epi32(acc);
        const __m128i w16 = _mm_packs_epi32(v, v);
        const int packed = _mm_cvtsi128_si32(_mm_packus_epi16(w16, w16));
        std::memcpy(out + x * 4, &packed, 4);
    }
#else
    for (size_t x = 0; x < taps.size(); ++x) {
        const Taps& t = taps[x];
        for (int c = 0; c < 4; ++c) {
            float acc = 0;
            for (size_t k = 0; k < t.weights.size(); ++k) acc += t.weights[k] * row[(t.first + k) * 4 + c];
            out[x * 4 + c] = static_cast<unsigned char>(std::clamp(acc + 0.5f, 0.0f, 255.0f));
        }
    }
#endif
}

} // namespace

extern "C" __attribute__((visibility("default"))) IppStatus ippiResize_8u_C4R(
    const Ipp8u* src, IppiSize src_size, int src_step, IppiRect src_roi, Ipp8u* dst, int dst_step, IppiSize dst_size,
    double x_factor, double y_factor, int interpolation)
{
    if (!src || !dst) return zk::kStsNullPtrErr;
    if (src_size.width < 1 || src_size.height < 1 || dst_size.width < 1 || dst_size.height < 1) return zk::kStsSizeErr;
    if (src_step < src_size.width * 4 || dst_step < dst_size.width * 4) return zk::kStsStepErr;
    if (!(x_factor > 0) || !(y_factor > 0)) return zk::kStsResizeFactorErr;
    if (interpolation != zk::kInterSuper && interpolation != zk::kInterCubic) return zk::kStsInterpolationErr;
    // The region of interest must lie inside the source; the library always passes all of it.
    if (src_roi.x < 0 || src_roi.y < 0 || src_roi.width < 1 || src_roi.height < 1 ||
        src_roi.x + src_roi.width > src_size.width || src_roi.y + src_roi.height > src_size.height) {
        return zk::kStsSizeErr;
    }
    const unsigned char* base = src + static_cast<size_t>(src_roi.y) * static_cast<size_t>(src_step) +
                                static_cast<size_t>(src_roi.x) * 4;
    const int sw = src_roi.width;
    const int sh = src_roi.height;
    try {
        const bool super = interpolation == zk::kInterSuper;
        const std::vector<Taps> cols = super ? super_taps(sw, dst_size.width, x_factor) : cubic_taps(sw, dst_size.width, x_factor);
        const std::vector<Taps> rows = super ? super_taps(sh, dst_size.height, y_factor) : cubic_taps(sh, dst_size.height, y_factor);
        const size_t row_len = static_cast<size_t>(sw) * 4;
        std::vector<float> acc(row_len);
        for (int y = 0; y < dst_size.height; ++y) {
            const Taps& t = rows[static_cast<size_t>(y)];
            for (size_t k = 0; k < t.weights.size(); ++k) {
                const unsigned char* row = base + static_cast<size_t>(t.first + static_cast<int>(k)) * static_cast<size_t>(src_step);
                if (k == 0) {
                    first_row(acc.data(), row, t.weights[k], row_len);
                } else {
                    accumulate_row(acc.data(), row, t.weights[k], row_len);
                }
            }
            horizontal(acc.data(), cols, dst + static_cast<size_t>(y) * static_cast<size_t>(dst_step));
        }
    } catch (const std::bad_alloc&) {
        return zk::kStsMemAllocErr;
    }
    return zk::kStsNoErr;
}
