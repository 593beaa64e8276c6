// Which module a piece of code was loaded from.
//
// The application object looks for its optional modules beside the library itself, so it
// needs the library's own file (what GetModuleHandleEx with an address and GetModuleFileName
// give on Windows). An address inside the program, when the library is linked in statically,
// gives the program's file.
#pragma once

#include <string>

namespace zk {

// The path of the shared library or program holding `address`; empty when it is unknown.
std::string module_file_of(const void* address);

} // namespace zk
