// CKrGfb: the four graphics banks in which all on-air drawing happens.
//
// Each bank is a 720 × 486 CKrFrameBuffer, made at construction. Three bank numbers say what
// the banks are for: the on-air bank (its changes go to the graphics frame buffer), the next
// bank (shown on the preview channel) and the write bank (where drawing operations draw); a
// copy mode (0 copy, 1 composite by key) goes with every frame-buffer copy into a bank.
//
// Operations that change a bank report the rectangle they changed in their CBox (the whole
// bank for clears and bank copies), so the on-air control can copy just that to the outputs.
// Results: 0 success, -1 refused (a bank outside 0-3, an empty rectangle, a missing picture);
// the bank selections answer 1 when the choice changed and 0 when it did not.
//
// The bank numbers and the copy mode are read by the effects' threads while the host changes
// them: they are atomics. The banks' pixels are not locked: as on the original system, the
// host does not draw into a bank an effect is reading.
#pragma once

#include <atomic>

#include "core/zorvik_api.h"
#include "framebuffer/box.h"
#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/cstring.h"

class ZORVIK_API CKrGfb {
public:
    CKrGfb();
    CKrGfb(const CKrGfb& other);
    CKrGfb& operator=(const CKrGfb& other);
    virtual ~CKrGfb();

    // Bank choices: -1 for a number outside 0-3, 0 unchanged, 1 changed. The box (when given)
    // always receives the whole picture.
    int SetBankOa(int bank, CBox* box);
    int SetBankNext(int bank, CBox* box);
    int SetBankWrite(int bank);
    // 0 or 1, else -1.
    int SetCopyMode(int mode);

    // The bank's frame buffer and its pixels; a number outside 0-3 means the write bank.
    CKrFrameBuffer* GetGfb(int bank);
    unsigned char* GetGfbBuff(int bank);
    long GetGfbWidth() const { return kWidth; }
    long GetGfbHeight() const { return kHeight; }
    int GetBankOa() const { return m_nBankOa.load(); }
    int GetBankNext() const { return m_nBankNext.load(); }
    int GetBankWrite() const { return m_nBankWrite.load(); }
    int GetCopyMode() const { return m_nCopyMode.load(); }

    int ScreenClear(int bank, CBox* box);
    int ScreenClearCol(int bank, DWORD colour, CBox* box);
    // The whole pixel memory of src into dst.
    int CopyBank(int src, int dst, CBox* box);
    // The whole of src into dst through a frame-buffer copy with the copy mode.
    int CopyBankCm(int src, int dst, CBox* box);
    // A rectangle of src to (dx, dy) of dst with the copy mode; within one bank through a copy
    // of the rectangle.
    int CopyBankBox(int src, long x, long y, long w, long h, int dst, long dx, long dy, CBox* box);
    // A w × h rectangle (at most 720 × 486) of one colour into the write bank at (x, y).
    int BoxFill(long x, long y, long w, long h, DWORD colour, CBox* box);
    // A rectangle of a picture into the write bank (or a given bank) at (dx, dy).
    int PutImg(CKrFrameBuffer* image, long sx, long sy, long w, long h, long dx, long dy, CBox* box);
    int PutImg_Sel(int bank, CKrFrameBuffer* image, long sx, long sy, long w, long h, long dx, long dy, CBox* box);
    // Re-makes the picture at w × h and copies that rectangle of the write bank (or a given
    // bank) into it; the box receives the part of the bank that was read.
    int GetImg(CKrFrameBuffer* image, long x, long y, long w, long h, CBox* box);
    int GetImg_Sel(int bank, CKrFrameBuffer* image, long x, long y, long w, long h, CBox* box);

    static constexpr long kWidth = 720;
    static constexpr long kHeight = 486;
    static constexpr int kBanks = 4;

private:
    static bool valid(int bank) { return bank >= 0 && bank < kBanks; }
    CKrFrameBuffer* bank_or_write(int bank);

    CKrFrameBuffer m_Gfb[kBanks];
    std::atomic<int> m_nBankOa{0};
    std::atomic<int> m_nBankNext{2};
    std::atomic<int> m_nBankWrite{0};
    std::atomic<int> m_nCopyMode{0};
    CString m_strName;
};
