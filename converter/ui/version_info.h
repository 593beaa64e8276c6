// The program's version block: the values an operator sees in the version dialog and that
// support staff ask for. Kept as a table of named values under the same paths a version
// resource has ("\VarFileInfo\Translation", "\StringFileInfo\041104b0\ProductVersion" ...),
// so the dialog looks them up by language and code page as it always did.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace vmui {

// The translation entry: language in the low 16 bits, code page in the high 16 bits.
std::optional<std::uint32_t> version_translation();
// A string value by its full path, or nullopt when there is none.
std::optional<QString> version_string(const QString& path);

} // namespace vmui
