// The one slot that holds the resize routine in use; written rarely, read by every resize.
#include "framebuffer/resize_routine.h"

#include <atomic>

namespace zk {
namespace {

// Constant-initialised, so it is valid before any object of the library is constructed and
// after the last one is destroyed (the application object clears it while shutting down).
constinit std::atomic<ResizeRoutine> routine_in_use{nullptr};

} // namespace

void set_resize_routine(ResizeRoutine routine)
{
    routine_in_use.store(routine, std::memory_order_release);
}

ResizeRoutine resize_routine()
{
    return routine_in_use.load(std::memory_order_acquire);
}

} // namespace zk
