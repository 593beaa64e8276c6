// The resize routine that SizeChange and SizeChangeScale hand their work to, when one is in use.
//
// The routine lives in the optional resize module. Whoever loads that module (the library's
// application object, at start-up) sets the routine here once the module is loaded, and
// clears it before the module is released; every resize reads it once, when it starts. The
// frame buffer thus knows nothing of modules or of the application object: it only asks
// whether a routine is in use.
#pragma once

#include "framebuffer/resize_module/resize_contract.h"

namespace zk {

// Null means: no module, use the library's own bilinear resampler.
void set_resize_routine(ResizeRoutine routine);
ResizeRoutine resize_routine();

} // namespace zk
