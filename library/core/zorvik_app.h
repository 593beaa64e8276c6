// The library's one application object: created when the library is loaded, destroyed when
// it is unloaded.
//
// At start-up it loads the optional resize module when the environment variable
// ZORVIK_RESIZE_MODULE names one (the path of libzorvik_resize.so, built beside the library),
// and keeps the module handle and the address of its routine; at shutdown it releases both. Unset, empty or "none" means no
// module: every resize then takes the library's own exact bilinear resampler, as it does when
// the named module is missing or lacks the routine.
#pragma once

#include <atomic>

#include "core/zorvik_api.h"
#include "framebuffer/resize_module/resize_contract.h"
#include "platform/win32/win32_base.h"

class ZORVIK_API CZorvikApp {
public:
    CZorvikApp();
    ~CZorvikApp();
    CZorvikApp(const CZorvikApp&) = delete;
    CZorvikApp& operator=(const CZorvikApp&) = delete;

    BOOL InitInstance();
    int ExitInstance();

    // Read by every resize; written only at start-up, at shutdown and by the two calls below.
    ResizeRoutine GetResizeRoutine() const { return m_pfnResize.load(std::memory_order_acquire); }
    HMODULE GetResizeModule() const { return m_hResizeModule; }

    // Replaces the module in use (tests and hosts that want a particular path); a null or
    // empty path releases it. Returns TRUE when a module with the routine is loaded.
    BOOL LoadResizeModule(const char* path);
    void UnloadResizeModule();

private:
    HMODULE m_hResizeModule = nullptr;
    std::atomic<ResizeRoutine> m_pfnResize{nullptr};
};

ZORVIK_API CZorvikApp* AfxGetZorvikApp();
