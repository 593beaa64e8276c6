// Video standards: the numbers the on-air code keeps, the clock GUIDs that name them, and the
// field timing of each.
//
// These are facts about the video, not about any one board: the reference clock, the
// cardsets, the virtual board and the filter-graph layer all speak them, and none of them
// needs the board implementation to do so.
#pragma once

#include "core/zorvik_api.h"
#include "platform/board/digisuite_interfaces.h"

namespace zk {

// The field period as a fraction R/S of 100 ns units, and fields per second as N/D, for a
// video standard number (1 or unknown: 60000/1001; 2, 3: 50; 4: 60).
struct FieldRate {
    LONGLONG R, S; // one field lasts R/S units
    LONGLONG N, D; // N/D fields per second
};
ZORVIK_API FieldRate field_rate(int standard);

// The standard number a clock GUID stands for (1 to 3), 0 for anything else.
ZORVIK_API int standard_from_guid(REFGUID g);
ZORVIK_API GUID guid_from_standard(int standard);

} // namespace zk
