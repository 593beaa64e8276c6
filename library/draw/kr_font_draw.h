// CKrFontDraw: the stateful caption text drawer the on-air controller keeps.
//
// A caller opens faces under numbers 1 to 50 once, selects one by number, sets size,
// position, colours, edges and shadows one attribute at a time, and draws strings into a
// frame buffer; each drawing writes NextAddress, so a following string can continue after it
// (AddressMode 1).
//
// The object owns the three texture file names its drawing attributes refer to; the record's
// name pointers always point at the object's own copies, also in a copy of the object.
// Font-table failures go to the library's message sink with the font number asked for and
// change nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/zorvik_api.h"
#include "draw/kr_font.h"
#include "platform/framework/cwnd.h"

// One numbered open face; No 0 marks a free slot.
struct tagFONTSLOT {
    std::int32_t No;
    char Name[kFontNameBytes];
};

class ZORVIK_API CKrFontDraw : public CKrFont {
public:
    static constexpr int kSlots = 50;

    CKrFontDraw();
    CKrFontDraw(const CKrFontDraw& o);
    CKrFontDraw& operator=(const CKrFontDraw& o);
    ~CKrFontDraw() override;

    // Stores the window and sets the defaults: the default Japanese face as font 1 and
    // selected, size 32 at 100 %, supersampling 16, white body, black edge and shadow
    // colours, no edge, no shadow, everything else zero.
    void Initial(CWnd* wnd);

    int FontOpen(const char* face, long no);
    int FontClose(long no);
    int FontAllClose();
    int SetFontNo(long no);
    long GetFontNo() const { return m_FontNo; }
    // The slot of a number 1 to 50, or null.
    const tagFONTSLOT* GetSlot(long no) const;

    int SetPos(long x, long y);
    int SetSize(long height, long width_per);
    int SetSpace(long n);
    int SetItalic(long flag);
    int SetWeight(long flag);
    int SetFormat(long n);
    int SetEria(long width, long height);
    int SetDir(long flag);
    int SetSpPer(long n);
    int SetAntiScale(long n);
    int SetFitMode(long n);
    int SetFitStrMax(long max, long min);
    int SetFitSpMax(long max, long min);
    int SetAspectMode(long n);
    int SetAddressMode(long n);
    int AddNextAddress(long dx, long dy);
    int SetBodyCol(DWORD col);
    int SetEdgeCol(DWORD col);
    int SetShadCol(DWORD col);
    int SetEdgeType(long type, long size, long soft_pen);
    int SetShadType(long type, long size, long soft_size, long soft_pen);
    int SetBodyGrad(long mode, long patern, long x, long y, DWORD col1, DWORD col2);
    int SetEdgeGrad(long mode, long patern, long x, long y, DWORD col1, DWORD col2);
    int SetShadGrad(long mode, long patern, long x, long y, DWORD col1, DWORD col2);
    int SetBodyText(long mode, const char* file);
    int SetEdgeText(long mode, const char* file);
    int SetShadText(long mode, const char* file);

    // Draws the text with the current attributes; an empty string is refused (-1).
    int FontDisp(const char* text, CKrFrameBuffer* fb, CBox* box);
    int FontFbSet(const char* text, CKrFrameBuffer* fb, CBox& whole, CBox& body, CBox& edge, CBox& shadow);

    const tagKRFONTINFO& GetFontInfo() const { return m_FontInfo; }
    CWnd* GetWnd() const { return m_pWnd; }

private:
    HWND hwnd() const { return m_pWnd ? m_pWnd->GetSafeHwnd() : nullptr; }
    void copy_from(const CKrFontDraw& o);
    int set_text(zk::BwPart part, long mode, const char* file);

    CWnd* m_pWnd = nullptr;
    tagKRFONTINFO m_FontInfo{};
    std::array<tagFONTSLOT, kSlots> m_Slots{};
    std::int32_t m_FontNo = 0;
    // The texture names by part; the record's name pointers point here.
    std::array<std::string, 3> m_Files;
};
