// CKrTm: parts and count kept in step; see the header for the wrapping rules.
#include "effects/kr_tm.h"

CKrTm::CKrTm(int h, int m, int s, int ms)
{
    SetTime(static_cast<unsigned short>(h), static_cast<unsigned short>(m), static_cast<unsigned short>(s),
            static_cast<unsigned short>(ms));
}

CKrTm::CKrTm(unsigned short h, unsigned short m, unsigned short s, unsigned short ms)
{
    SetTime(h, m, s, ms);
}

CKrTm::CKrTm(int count) { from_count(static_cast<std::uint32_t>(count)); }
CKrTm::CKrTm(long count) { from_count(static_cast<std::uint32_t>(count)); }
CKrTm::CKrTm(unsigned long count) { from_count(static_cast<std::uint32_t>(count)); }

void CKrTm::SetTime(unsigned short h, unsigned short m, unsigned short s, unsigned short ms)
{
    m_Hour = h;
    m_Minute = m;
    m_Second = s;
    m_Millisecond = ms;
    // The parts are not normalised; the count is what arithmetic sees. 65535 hours overflow
    // 32 bits, and wrap like every other count.
    std::uint32_t seconds = (static_cast<std::uint32_t>(h) * 60u + m) * 60u + s;
    m_MilCount = seconds * 1000u + ms;
}

void CKrTm::SetTime(unsigned long count) { from_count(static_cast<std::uint32_t>(count)); }

CKrTm& CKrTm::add(std::uint32_t delta)
{
    from_count(m_MilCount + delta);
    return *this;
}

void CKrTm::from_count(std::uint32_t count)
{
    m_MilCount = count;
    m_Millisecond = static_cast<unsigned short>(count % 1000u);
    m_Second = static_cast<unsigned short>(count / 1000u % 60u);
    m_Minute = static_cast<unsigned short>(count / 60000u % 60u);
    m_Hour = static_cast<unsigned short>(count / 3600000u);
}
