// For tests: a device of their own under a name, for a scope.
//
// Library code never includes the headers of platform/testing/.
#pragma once

#include <string>

#include "platform/board/device_io.h"

namespace zk {

class ZORVIK_API DeviceOverride {
public:
    DeviceOverride(std::string name, DeviceFactory factory);
    ~DeviceOverride();
    DeviceOverride(const DeviceOverride&) = delete;
    DeviceOverride& operator=(const DeviceOverride&) = delete;

private:
    std::string name_;
    DeviceFactory previous_;
};

} // namespace zk
