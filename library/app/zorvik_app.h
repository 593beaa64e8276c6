// The library's one application object: created when the library is loaded, destroyed when
// it is unloaded.
//
// At start-up it looks for the optional resize module and keeps the module handle and the
// address of its routine; at shutdown it releases both. The module is looked for in this
// order: the path in the environment variable ZORVIK_RESIZE_MODULE ("none" or an empty value
// means: do not use one), else libzorvik_resize.so in the folder the library was loaded from.
// A missing module, or one without the routine, leaves both empty; every resize then takes
// the library's own bilinear resampler.
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
