// CKrTm: a time of day or a duration with millisecond resolution.
//
// The value is kept twice: as hours, minutes, seconds and milliseconds for display, and as one
// millisecond count for arithmetic and comparison. Setting from parts stores the parts as
// given (minute 75 stays 75) and derives the count; setting from a count derives normalised
// parts. Arithmetic works on the count as an unsigned 32-bit number, so it wraps around the
// way the timers that use it expect: one millisecond before zero is 4294967295.
//
// `unsigned long` is 64 bits wide here; counts passed in are taken modulo 2^32 so a value
// means the same as it did where the count was a 32-bit word. The binary operators return a
// new value and leave their left operand unchanged.
#pragma once

#include <cstdint>

#include "core/zorvik_api.h"

class ZORVIK_API CKrTm {
public:
    CKrTm() = default;
    CKrTm(int h, int m, int s, int ms);
    CKrTm(unsigned short h, unsigned short m, unsigned short s, unsigned short ms);
    CKrTm(int count);
    CKrTm(long count);
    CKrTm(unsigned long count);
    CKrTm(const CKrTm&) = default;
    CKrTm& operator=(const CKrTm&) = default;
    virtual ~CKrTm() = default;

    void SetTime(unsigned short h, unsigned short m, unsigned short s, unsigned short ms);
    void SetTime(unsigned long count);

    unsigned short GetHour() const { return m_Hour; }
    unsigned short GetMinute() const { return m_Minute; }
    unsigned short GetSecond() const { return m_Second; }
    unsigned short GetMillisecond() const { return m_Millisecond; }
    unsigned long GetMilCount() const { return m_MilCount; }
    operator unsigned long() const { return m_MilCount; }

    CKrTm& operator+=(int v) { return add(static_cast<std::uint32_t>(v)); }
    CKrTm& operator+=(long v) { return add(static_cast<std::uint32_t>(v)); }
    CKrTm& operator+=(unsigned long v) { return add(static_cast<std::uint32_t>(v)); }
    CKrTm& operator+=(const CKrTm& v) { return add(v.m_MilCount); }
    CKrTm& operator-=(int v) { return add(0u - static_cast<std::uint32_t>(v)); }
    CKrTm& operator-=(long v) { return add(0u - static_cast<std::uint32_t>(v)); }
    CKrTm& operator-=(unsigned long v) { return add(0u - static_cast<std::uint32_t>(v)); }
    CKrTm& operator-=(const CKrTm& v) { return add(0u - v.m_MilCount); }

    CKrTm operator+(int v) const { return CKrTm(*this) += v; }
    CKrTm operator+(long v) const { return CKrTm(*this) += v; }
    CKrTm operator+(unsigned long v) const { return CKrTm(*this) += v; }
    CKrTm operator+(CKrTm v) const { return CKrTm(*this) += v; }
    CKrTm operator-(int v) const { return CKrTm(*this) -= v; }
    CKrTm operator-(long v) const { return CKrTm(*this) -= v; }
    CKrTm operator-(unsigned long v) const { return CKrTm(*this) -= v; }
    CKrTm operator-(CKrTm v) const { return CKrTm(*this) -= v; }

    // Only the counts are compared: 1 h 15 min equals 0 h 75 min.
    bool operator==(CKrTm v) const { return m_MilCount == v.m_MilCount; }
    bool operator!=(CKrTm v) const { return m_MilCount != v.m_MilCount; }
    bool operator>(CKrTm v) const { return m_MilCount > v.m_MilCount; }
    bool operator>=(CKrTm v) const { return m_MilCount >= v.m_MilCount; }
    bool operator<(CKrTm v) const { return m_MilCount < v.m_MilCount; }
    bool operator<=(CKrTm v) const { return m_MilCount <= v.m_MilCount; }
    bool operator==(unsigned long v) const { return m_MilCount == wrap(v); }
    bool operator!=(unsigned long v) const { return m_MilCount != wrap(v); }
    bool operator>(unsigned long v) const { return m_MilCount > wrap(v); }
    bool operator>=(unsigned long v) const { return m_MilCount >= wrap(v); }
    bool operator<(unsigned long v) const { return m_MilCount < wrap(v); }
    bool operator<=(unsigned long v) const { return m_MilCount <= wrap(v); }

private:
    static std::uint32_t wrap(unsigned long v) { return static_cast<std::uint32_t>(v); }
    CKrTm& add(std::uint32_t delta);
    void from_count(std::uint32_t count);

    unsigned short m_Hour = 0;
    unsigned short m_Minute = 0;
    unsigned short m_Second = 0;
    unsigned short m_Millisecond = 0;
    std::uint32_t m_MilCount = 0;
};
