// The filters' event records: any bytes, inside a BSTR as they arrive, are read without
// going past the end and give a valid record or none.
#include <cstdint>
#include <cstdlib>

#include "onair/mq_event_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20)) return 0;
    BSTR record = SysAllocStringByteLen(reinterpret_cast<const char*>(data), static_cast<UINT>(size));
    const LONG_PTR param = reinterpret_cast<LONG_PTR>(record);
    const BOOL is_record = CMQEventInfo::IsMQEvent(param);
    CMQEventInfo info(param);
    if (info.IsValid() != is_record && size >= 36) std::abort();
    size_t total = 0;
    for (int i = 0; i < info.GetStringCount(); ++i) total += info.GetString(i).size();
    if (total * 2 > size) std::abort();
    if (info.GetDescription(255).size() > 255) std::abort();
    SysFreeString(record);
    return 0;
}
