// A resize module for tests: records how the library called it and answers with a status
// the test chose, filling the target with a marker so the test sees that it ran.
#include <cstring>

#include "framebuffer/resize_module/resize_contract.h"

namespace {
int g_interpolation = -1;
double g_xf = 0, g_yf = 0;
int g_w = 0, g_h = 0, g_sw = 0, g_sh = 0;
int g_status = 0;
} // namespace

extern "C" __attribute__((visibility("default"))) IppStatus ippiResize_8u_C4R(
    const Ipp8u*, IppiSize src_size, int, IppiRect, Ipp8u* dst, int dst_step, IppiSize dst_size, double xf, double yf,
    int interpolation)
{
    g_interpolation = interpolation;
    g_xf = xf;
    g_yf = yf;
    g_w = dst_size.width;
    g_h = dst_size.height;
    g_sw = src_size.width;
    g_sh = src_size.height;
    for (int y = 0; y < dst_size.height; ++y) std::memset(dst + y * dst_step, 0x5A, static_cast<size_t>(dst_size.width) * 4);
    return g_status;
}

extern "C" __attribute__((visibility("default"))) void fake_resize_last(int* interpolation, double* xf, double* yf,
                                                                        int* w, int* h)
{
    *interpolation = g_interpolation;
    *xf = g_xf;
    *yf = g_yf;
    *w = g_w;
    *h = g_h;
}

extern "C" __attribute__((visibility("default"))) void fake_resize_set_status(int status)
{
    g_status = status;
}
