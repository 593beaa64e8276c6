#include "core/zorvik_app.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>

#include "platform/framework/cobject.h"

namespace {

// The folder this code was loaded from: the shared library's folder when the library is
// shared, the program's when it is linked in statically.
std::string own_folder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&AfxGetZorvikApp), &info) == 0 || !info.dli_fname) return {};
    std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

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
    const char* env = std::getenv("ZORVIK_RESIZE_MODULE");
    if (env) {
        if (*env && std::strcmp(env, "none") != 0) LoadResizeModule(env);
    } else {
        const std::string folder = own_folder();
        if (!folder.empty()) LoadResizeModule((folder + "/" + zk::kResizeModuleFile).c_str());
    }
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
