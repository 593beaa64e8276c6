// Field rates and the clock GUIDs of the video standards.
#include "platform/board/video_standard.h"

namespace zk {

FieldRate field_rate(int standard)
{
    switch (standard) {
    case 2:
    case 3:
        return {200000, 1, 50, 1};
    case 4:
        return {1000000, 6, 60, 1};
    default:
        return {1001000, 6, 60000, 1001};
    }
}

int standard_from_guid(REFGUID g)
{
    if (g == VIDEOSTANDARD_NTSC) return 1;
    if (g == VIDEOSTANDARD_PAL) return 2;
    if (g == VIDEOSTANDARD_PAL_M) return 3;
    return 0;
}

GUID guid_from_standard(int standard)
{
    switch (standard) {
    case 1:
        return VIDEOSTANDARD_NTSC;
    case 2:
        return VIDEOSTANDARD_PAL;
    case 3:
        return VIDEOSTANDARD_PAL_M;
    default:
        return GUID_NULL;
    }
}

} // namespace zk
