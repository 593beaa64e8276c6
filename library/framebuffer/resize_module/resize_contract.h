// The routine contract between the library and its optional resize module.
//
// The module is a shared object exporting one C routine, "ippiResize_8u_C4R", with the
// calling convention of the image-processing library the system was first built against:
// four bytes a pixel, rows `step` bytes apart, a whole-source region of interest, the target
// size, the two scale factors (target / source) and an interpolation code. It returns 0 on
// success and a negative status otherwise. The library asks for interpolation 8
// (supersampling) when both sides shrink or stay, and 4 (cubic) when either side grows.
#pragma once

extern "C" {

typedef unsigned char Ipp8u;
typedef int IppStatus;
typedef struct {
    int width;
    int height;
} IppiSize;
typedef struct {
    int x;
    int y;
    int width;
    int height;
} IppiRect;

typedef IppStatus (*ResizeRoutine)(const Ipp8u* src, IppiSize src_size, int src_step, IppiRect src_roi,
                                   Ipp8u* dst, int dst_step, IppiSize dst_size, double x_factor,
                                   double y_factor, int interpolation);

}

namespace zk {

constexpr const char* kResizeRoutineName = "ippiResize_8u_C4R";
constexpr const char* kResizeModuleFile = "libzorvik_resize.so";
constexpr int kInterCubic = 4;
constexpr int kInterSuper = 8;

// Status codes of the module (the same numbers as the original routine's).
constexpr IppStatus kStsNoErr = 0;
constexpr IppStatus kStsSizeErr = -6;
constexpr IppStatus kStsNullPtrErr = -8;
constexpr IppStatus kStsInterpolationErr = -22;
constexpr IppStatus kStsResizeFactorErr = -23;
constexpr IppStatus kStsStepErr = -14;
constexpr IppStatus kStsMemAllocErr = -9;

} // namespace zk
