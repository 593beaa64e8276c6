// Small helpers of the on-air controller that are not its legacy surface: the DigiMix register
// settings Initial makes, and the file-name rules of the image and motion operations.
#pragma once

#include <string>

class CChkDigiSuite;

namespace zk::online {

// Opens the DigiMix video-effects device the inventory names, maps its registers and sets
// registers 45 and 46 to 1, then lets the device go. False when the device cannot be opened or
// mapped (nothing is written then).
bool set_digimix_registers(CChkDigiSuite& inventory);

// Whether a regular file of that name exists.
bool file_exists(const std::string& path);

// The extension of the last path element, dot included, in lower case; empty without one.
std::string lower_extension(const std::string& path);

// The path without the extension of its last element (the directory kept).
std::string strip_extension(const std::string& path);

} // namespace zk::online
