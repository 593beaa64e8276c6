// CMQEventInfo: the error and warning records that DigiSuite filters send as the first
// parameter of EC_OLE_EVENT.
//
// The record travels inside a BSTR but is binary: a 36-byte header of 32-bit little-endian
// words (word 0 the magic 0x99889988, word 1 the header size 32, word 3 the HRESULT being
// reported, word 4 the severity; the others are not read here) followed by NUL-terminated
// 16-bit strings packed end to end up to the end of the BSTR. String 1 is the description.
//
// Everything is read through a bounded reader: a record shorter than its header is simply
// not a record, and the last string may end at the end of the BSTR without its NUL.
#pragma once

#include <string>
#include <vector>

#include "core/zorvik_api.h"
#include "platform/com/com_base.h"
#include "platform/win32/win32_sync.h"

constexpr DWORD kMQEventMagic = 0x99889988u;
constexpr DWORD kMQEventHeaderWord = 32;
constexpr size_t kMQEventHeaderBytes = 36;

class ZORVIK_API CMQEventInfo {
public:
    // `record` is the event's first parameter (a BSTR); it is read at once and not kept.
    explicit CMQEventInfo(LONG_PTR record);
    CMQEventInfo(const void* bytes, size_t size);

    // Whether the first parameter of an EC_OLE_EVENT is such a record (magic and header word).
    static BOOL IsMQEvent(LONG_PTR record);

    BOOL IsValid() const { return valid_; }
    HRESULT GetReturnCode() const { return code_; }
    DWORD GetSeverity() const { return severity_; }
    int GetStringCount() const { return static_cast<int>(strings_.size()); }
    // String `index`, or empty when there is none.
    std::u16string GetString(int index) const;
    // The description cut to at most `maxChars` characters.
    std::u16string GetDescription(size_t maxChars = 255) const;

private:
    void parse(const void* bytes, size_t size);

    BOOL valid_ = FALSE;
    HRESULT code_ = 0;
    DWORD severity_ = 0;
    std::vector<std::u16string> strings_;
};
