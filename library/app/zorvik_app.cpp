// The application object: finding, loading and releasing the optional resize module.
#include "app/zorvik_app.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "framebuffer/resize_routine.h"
#include "platform/win32/win32_module.h"

namespace {

// The folder this code was loaded from: the shared library's folder when the library is
// shared, the program's when it is linked in statically.
std::string own_folder()
{
    const std::string path = zk::module_file_of(reinterpret_cast<const void*>(&AfxGetZorvikApp));
    if (path.empty()) return {};
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
