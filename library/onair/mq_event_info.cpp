// Reading the DigiSuite event records.
#include "onair/mq_event_info.h"

#include "core/byte_reader.h"

namespace {

// Strings after the header cannot be more than the BSTR can hold; this also keeps a
// hostile record from making a huge number of empty strings.
constexpr size_t kMaxStrings = 64;

} // namespace

CMQEventInfo::CMQEventInfo(LONG_PTR record)
{
    const BSTR text = reinterpret_cast<BSTR>(record);
    if (text) parse(text, SysStringByteLen(text));
}

CMQEventInfo::CMQEventInfo(const void* bytes, size_t size)
{
    if (bytes) parse(bytes, size);
}

BOOL CMQEventInfo::IsMQEvent(LONG_PTR record)
{
    const BSTR text = reinterpret_cast<BSTR>(record);
    if (!text) return FALSE;
    zk::ByteReader r(text, SysStringByteLen(text));
    std::uint32_t magic = 0, header = 0;
    return r.le32(magic) && r.le32(header) && magic == kMQEventMagic && header == kMQEventHeaderWord;
}

void CMQEventInfo::parse(const void* bytes, size_t size)
{
    zk::ByteReader r(bytes, size);
    std::uint32_t magic, header, unused, code, severity;
    if (!r.le32(magic) || !r.le32(header) || magic != kMQEventMagic || header != kMQEventHeaderWord) return;
    if (!r.le32(unused) || !r.le32(code) || !r.le32(severity) || !r.seek(kMQEventHeaderBytes)) return;
    code_ = static_cast<HRESULT>(code);
    severity_ = severity;
    valid_ = TRUE;

    std::u16string current;
    std::uint16_t unit;
    while (strings_.size() < kMaxStrings && r.le16(unit)) {
        if (unit == 0) {
            strings_.push_back(std::move(current));
            current.clear();
        } else {
            current += static_cast<char16_t>(unit);
        }
    }
    if (!current.empty() && strings_.size() < kMaxStrings) strings_.push_back(std::move(current));
}

std::u16string CMQEventInfo::GetString(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= strings_.size()) return {};
    return strings_[static_cast<size_t>(index)];
}

std::u16string CMQEventInfo::GetDescription(size_t maxChars) const
{
    std::u16string d = GetString(1);
    if (d.size() > maxChars) d.resize(maxChars);
    return d;
}
