// The library's one application object: created when the library is loaded, destroyed when
// it is unloaded.
//
// At start-up it loads the optional resize module when the environment variable
// ZORVIK_RESIZE_MODULE names one (the path of libzorvik_resize.so, built beside the library),
// and keeps the module handle and the address of its routine; at shutdown it releases both. Unset, empty or "none" means no
// module: every resize then takes the library's own exact bilinear resampler, as it does when
// the named module is missing or lacks the routine.
//
// The frame buffer does not ask this object for the routine: the object hands it down to the
// frame buffer's resize slot (framebuffer/resize_routine.h) when it loads a module and takes it
// back before it releases one, so the dependency points from the application to the frame
// buffer and not the other way.
#pragma once

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

    // The routine every resize uses now (the one set in the frame buffer's slot), or null.
    ResizeRoutine GetResizeRoutine() const;
    HMODULE GetResizeModule() const { return m_hResizeModule; }

    // Replaces the module in use (tests and hosts that want a particular path); a null or
    // empty path releases it. Returns TRUE when a module with the routine is loaded.
    BOOL LoadResizeModule(const char* path);
    void UnloadResizeModule();

private:
    HMODULE m_hResizeModule = nullptr;
};

ZORVIK_API CZorvikApp* AfxGetZorvikApp();
