// Module files on POSIX, from the dynamic loader's record of the loaded objects.
#include "platform/win32/win32_module.h"

#include <dlfcn.h>

namespace zk {

std::string module_file_of(const void* address)
{
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fname) return {};
    return info.dli_fname;
}

} // namespace zk
