#include "core/zorvik_app.h"

#include <cstdlib>
#include <cstring>

#include "platform/framework/cobject.h"

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
    m_pfnResize.store(routine, std::memory_order_release);
    return TRUE;
}

void CZorvikApp::UnloadResizeModule()
{
    m_pfnResize.store(nullptr, std::memory_order_release);
    if (m_hResizeModule) {
        FreeLibrary(m_hResizeModule);
        m_hResizeModule = nullptr;
    }
}
