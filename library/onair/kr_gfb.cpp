// CKrGfb: the four graphics banks, their selections and the copies between and into them.
#include "onair/kr_gfb.h"

#include <algorithm>
#include <cstring>

namespace {

void set_box(CBox* box, long x, long y, long w, long h)
{
    if (box) box->SetBox(x, y, w, h);
}

void whole(CBox* box)
{
    set_box(box, 0, 0, CKrGfb::kWidth, CKrGfb::kHeight);
}

// The number choices share one rule: refused outside 0-3, else whether it changed.
int choose(std::atomic<int>& slot, int bank)
{
    if (bank < 0 || bank >= CKrGfb::kBanks) return -1;
    return slot.exchange(bank) == bank ? 0 : 1;
}

} // namespace

CKrGfb::CKrGfb()
{
    for (CKrFrameBuffer& bank : m_Gfb) bank.CreateFrameBuffer(kWidth, kHeight, 1);
}

CKrGfb::CKrGfb(const CKrGfb& other) : m_strName(other.m_strName)
{
    for (int i = 0; i < kBanks; ++i) m_Gfb[i] = other.m_Gfb[i];
    m_nBankOa = other.m_nBankOa.load();
    m_nBankNext = other.m_nBankNext.load();
    m_nBankWrite = other.m_nBankWrite.load();
    m_nCopyMode = other.m_nCopyMode.load();
}

CKrGfb& CKrGfb::operator=(const CKrGfb& other)
{
    if (this == &other) return *this;
    for (int i = 0; i < kBanks; ++i) m_Gfb[i] = other.m_Gfb[i];
    m_nBankOa = other.m_nBankOa.load();
    m_nBankNext = other.m_nBankNext.load();
    m_nBankWrite = other.m_nBankWrite.load();
    m_nCopyMode = other.m_nCopyMode.load();
    m_strName = other.m_strName;
    return *this;
}

CKrGfb::~CKrGfb() = default;

int CKrGfb::SetBankOa(int bank, CBox* box)
{
    whole(box);
    return choose(m_nBankOa, bank);
}

int CKrGfb::SetBankNext(int bank, CBox* box)
{
    whole(box);
    return choose(m_nBankNext, bank);
}

int CKrGfb::SetBankWrite(int bank)
{
    return choose(m_nBankWrite, bank);
}

int CKrGfb::SetCopyMode(int mode)
{
    if (mode != 0 && mode != 1) return -1;
    m_nCopyMode = mode;
    return 0;
}

CKrFrameBuffer* CKrGfb::bank_or_write(int bank)
{
    return &m_Gfb[valid(bank) ? bank : m_nBankWrite.load()];
}

CKrFrameBuffer* CKrGfb::GetGfb(int bank)
{
    return bank_or_write(bank);
}

unsigned char* CKrGfb::GetGfbBuff(int bank)
{
    return bank_or_write(bank)->GetBufferByte();
}

int CKrGfb::ScreenClear(int bank, CBox* box)
{
    if (!valid(bank)) return -1;
    m_Gfb[bank].Clear();
    whole(box);
    return 0;
}

int CKrGfb::ScreenClearCol(int bank, DWORD colour, CBox* box)
{
    if (!valid(bank)) return -1;
    m_Gfb[bank].ClearCol(colour);
    whole(box);
    return 0;
}

int CKrGfb::CopyBank(int src, int dst, CBox* box)
{
    if (!valid(src) || !valid(dst)) return -1;
    CKrFrameBuffer& from = m_Gfb[src];
    CKrFrameBuffer& to = m_Gfb[dst];
    if (from.IsBuffer() || to.IsBuffer()) return -1;
    // The banks are public: one may have been made again at another size. Never copy more
    // than either holds.
    if (src != dst) std::memcpy(to.GetBufferByte(), from.GetBufferByte(), std::min(from.GetSize(), to.GetSize()));
    whole(box);
    return 0;
}

int CKrGfb::CopyBankCm(int src, int dst, CBox* box)
{
    if (!valid(src) || !valid(dst)) return -1;
    if (m_Gfb[dst].FbCopy(&m_Gfb[src], 0, 0, kWidth, kHeight, 0, 0, m_nCopyMode.load(), nullptr) != 0) return -1;
    whole(box);
    return 0;
}

int CKrGfb::CopyBankBox(int src, long x, long y, long w, long h, int dst, long dx, long dy, CBox* box)
{
    if (!valid(src) || !valid(dst)) return -1;
    const long mode = m_nCopyMode.load();
    if (src != dst) return m_Gfb[dst].FbCopy(&m_Gfb[src], x, y, w, h, dx, dy, mode, box) == 0 ? 0 : -1;
    // Within one bank the areas may overlap: the rectangle is copied out first.
    CKrFrameBuffer part;
    const long pw = std::min(w, kWidth), ph = std::min(h, kHeight);
    if (pw < 1 || ph < 1 || part.CreateFrameBuffer(pw, ph, 1) != 0) return -1;
    CBox taken;
    if (part.FbCopy(&m_Gfb[src], x, y, pw, ph, 0, 0, 0, &taken) != 0) return -1;
    // Put where a direct copy would have put it.
    return m_Gfb[dst].FbCopy(&part, 0, 0, taken.width, taken.height, dx, dy, mode, box) == 0 ? 0 : -1;
}

int CKrGfb::BoxFill(long x, long y, long w, long h, DWORD colour, CBox* box)
{
    w = std::min(w, kWidth);
    h = std::min(h, kHeight);
    if (w < 1 || h < 1) return -1;
    CKrFrameBuffer plate;
    if (plate.CreateFrameBuffer(w, h, 0) != 0) return -1;
    plate.ClearCol(colour);
    return bank_or_write(-1)->FbCopy(&plate, 0, 0, w, h, x, y, m_nCopyMode.load(), box) == 0 ? 0 : -1;
}

int CKrGfb::PutImg(CKrFrameBuffer* image, long sx, long sy, long w, long h, long dx, long dy, CBox* box)
{
    return PutImg_Sel(m_nBankWrite.load(), image, sx, sy, w, h, dx, dy, box);
}

int CKrGfb::PutImg_Sel(int bank, CKrFrameBuffer* image, long sx, long sy, long w, long h, long dx, long dy, CBox* box)
{
    if (!valid(bank) || !image || image->IsBuffer()) return -1;
    return m_Gfb[bank].FbCopy(image, sx, sy, w, h, dx, dy, m_nCopyMode.load(), box) == 0 ? 0 : -1;
}

int CKrGfb::GetImg(CKrFrameBuffer* image, long x, long y, long w, long h, CBox* box)
{
    return GetImg_Sel(m_nBankWrite.load(), image, x, y, w, h, box);
}

int CKrGfb::GetImg_Sel(int bank, CKrFrameBuffer* image, long x, long y, long w, long h, CBox* box)
{
    if (!valid(bank) || !image || w < 1 || h < 1) return -1;
    image->DeleteFrameBuffer();
    if (image->CreateFrameBuffer(w, h, 1) != 0) return -1;
    CBox written;
    if (image->FbCopy(&m_Gfb[bank], x, y, w, h, 0, 0, 0, &written) != 0) return -1;
    set_box(box, std::max(x, 0L), std::max(y, 0L), written.width, written.height);
    return 0;
}
