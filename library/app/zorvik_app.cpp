// The application object: finding, loading and releasing the optional resize module.
#include "app/zorvik_app.h"

#include <cstdlib>
#include <cstring>

#include "framebuffer/resize_routine.h"

namespace {

CZorvikApp theApp;

} // namespace

CZorvikApp* AfxGetZorvikApp()
{
    return &theApp;
}

CZorvikApp::CZorvikApp()
{
    InitInstance();
}

CZorvikApp::~CZorvikApp()
{
    ExitInstance();
}

BOOL CZorvikApp::InitInstance()
{
    // The module's results differ from the exact resampler's (and it is slower on one core):
    // it is used only when asked for by name.
    const char* env = std::getenv("ZORVIK_RESIZE_MODULE");
    if (env && *env && std::strcmp(env, "none") != 0) LoadResizeModule(env);
    return TRUE;  // start-up succeeds with or without the module
}

int CZorvikApp::ExitInstance()
{
    UnloadResizeModule();
    return 0;
}

ResizeRoutine CZorvikApp::GetResizeRoutine() const
{
    return zk::resize_routine();
}

BOOL CZorvikApp::LoadResizeModule(const char* path)
{
    UnloadResizeModule();
    if (!path || !*path) return FALSE;
    HMODULE module = LoadLibrary(path);
    if (!module) return FALSE;
    auto routine = reinterpret_cast<ResizeRoutine>(GetProcAddress(module, zk::kResizeRoutineName));
    if (!routine) {
        FreeLibrary(module);
        return FALSE;
    }
    m_hResizeModule = module;
    zk::set_resize_routine(routine);
    return TRUE;
}

void CZorvikApp::UnloadResizeModule()
{
    // Taken back before the module goes, so no resize that starts from here on calls into it.
    zk::set_resize_routine(nullptr);
    if (m_hResizeModule) {
        FreeLibrary(m_hResizeModule);
        m_hResizeModule = nullptr;
    }
}
