// CDrawText: one caption string with every attribute needed to draw it, as a storable object.
//
// A client keeps a list of these, edits them through the setters, draws them into a frame
// buffer and stores them in its documents under the run-time class name "CDrawText". The
// stored form is the tag "DTO0", the 284-byte text-attribute record (see kr_font.h), then the
// text and the body, edge and shadow texture names, each as a little-endian 32-bit length and
// that many bytes. Several objects may follow each other in one file.
//
// The texture names are owned by the object's strings; the record's name pointers only ever
// point at them (ResetConnect re-establishes that after copying and reading).
#pragma once

#include <cstdint>

#include "core/zorvik_api.h"
#include "draw/kr_font.h"
#include "platform/framework/carchive.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cobject.h"
#include "platform/framework/geometry.h"

class ZORVIK_API CDrawText : public CKrFont, public CObject, public zk::BwAttributes<CDrawText> {
    DECLARE_SERIAL(CDrawText)
public:
    CDrawText();
    CDrawText(const CDrawText& o);
    CDrawText& operator=(const CDrawText& o);
    ~CDrawText() override;

    // White body, black edge and shadow colours, no edge or shadow, size 32 at (72, 438),
    // centred gradients, the default Japanese face, empty text.
    void SetDefault();

    // 0 when the face is installed, 1 when it is not.
    int CheckFontName(HWND hwnd, const char* face);
    // Stores at most 32 bytes of the name; the face is not checked.
    void SetFontName(const char* face);
    CString GetFontName() const;
    void SetString(const CString& text) { m_String = text; }
    CString GetString() const { return m_String; }

    void SetPos(long x, long y);
    void SetPos(CPoint p) { SetPos(p.x, p.y); }
    void SetSize(long height, long width_per);
    // The size's first member is the width percent, its second the height.
    void SetSize(CSize s) { SetSize(s.cy, s.cx); }
    void SetSpace(long n);
    void SetItalic(long flag);
    void SetWeight(long flag);
    void SetFormat(long n);
    void SetEria(long width, long height);
    void SetEria(CSize s) { SetEria(s.cx, s.cy); }
    void SetDir(long flag);
    void SetSpPer(long n);
    void SetAntiScale(long n);
    void SetFitMode(long n);
    void SetFitStrMax(long max, long min);
    void SetFitStrMax(CSize s) { SetFitStrMax(s.cx, s.cy); }
    void SetFitSpMax(long max, long min);
    void SetFitSpMax(CSize s) { SetFitSpMax(s.cx, s.cy); }
    void SetAspectMode(long n);
    void SetAddressMode(long n);
    void SetNextAddress(long x, long y);
    void SetNextAddress(CPoint p) { SetNextAddress(p.x, p.y); }
    // The colour, edge, shadow and gradient attributes come from BwAttributes.
    void SetBodyText(long mode, const CString& file);
    void SetEdgeText(long mode, const char* file);
    void SetShadText(long mode, const char* file);

    void GetPos(long* x, long* y) const;
    CPoint GetPos() const { return CPoint(m_FontInfo.Pos.x, m_FontInfo.Pos.y); }
    long GetPos_X() const { return m_FontInfo.Pos.x; }
    long GetPos_Y() const { return m_FontInfo.Pos.y; }
    void GetSize(long* height, long* width_per) const;
    CSize GetSize() const { return CSize(m_FontInfo.WidthPer, m_FontInfo.Height); }
    long GetSize_Height() const { return m_FontInfo.Height; }
    long GetSize_WidthPer() const { return m_FontInfo.WidthPer; }
    long GetSpace() const { return m_FontInfo.Space; }
    long GetItalic() const { return m_FontInfo.Italic; }
    long GetWeight() const { return m_FontInfo.Weight; }
    long GetFormat() const { return m_FontInfo.Format; }
    void GetEria(long* width, long* height) const;
    CSize GetEria() const { return CSize(m_FontInfo.Eria.cx, m_FontInfo.Eria.cy); }
    long GetEria_Width() const { return m_FontInfo.Eria.cx; }
    long GetEria_Height() const { return m_FontInfo.Eria.cy; }
    long GetDir() const { return m_FontInfo.Dir; }
    long GetSpPer() const { return m_FontInfo.SpPer; }
    long GetAntiScale() const { return m_FontInfo.AntiScale; }
    long GetFitMode() const { return m_FontInfo.FitMode; }
    void GetFitStrMax(long* max, long* min) const;
    CSize GetFitStrMax() const { return CSize(m_FontInfo.FitStrMax.cx, m_FontInfo.FitStrMax.cy); }
    long GetFitStrMax_Max() const { return m_FontInfo.FitStrMax.cx; }
    long GetFitStrMax_Min() const { return m_FontInfo.FitStrMax.cy; }
    void GetFitSpMax(long* max, long* min) const;
    CSize GetFitSpMax() const { return CSize(m_FontInfo.FitSpMax.cx, m_FontInfo.FitSpMax.cy); }
    long GetFitSpMax_Max() const { return m_FontInfo.FitSpMax.cx; }
    long GetFitSpMax_Min() const { return m_FontInfo.FitSpMax.cy; }
    long GetAspectMode() const { return m_FontInfo.AspectMode; }
    long GetAddressMode() const { return m_FontInfo.AddressMode; }
    void GetNextAddress(long* x, long* y) const;
    CPoint GetNextAddress() const { return CPoint(m_FontInfo.NextAddress.x, m_FontInfo.NextAddress.y); }
    long GetNextAddress_X() const { return m_FontInfo.NextAddress.x; }
    long GetNextAddress_Y() const { return m_FontInfo.NextAddress.y; }
    CString GetBodyText(long* mode) const;
    CString GetBodyText_File() const { return m_BodyFile; }
    CString GetEdgeText(long* mode) const;
    CString GetEdgeText_File() const { return m_EdgeFile; }
    CString GetShadText(long* mode) const;
    CString GetShadText_File() const { return m_ShadFile; }
    CBox& GetDispEria() { return m_DispEria; }
    const tagKRFONTINFO& GetFontInfo() const { return m_FontInfo; }

    // Draws into fb; the display area becomes the rectangle written (empty for empty text).
    int DrawFrame(HWND hwnd, CKrFrameBuffer* fb);
    // fb is replaced by a picture of just the decorated text; whole receives the display area.
    int DrawFrameEria(HWND hwnd, CKrFrameBuffer* fb, CBox& whole, CBox& body, CBox& edge, CBox& shadow);

    // 1, or 0 when the file failed. A short read leaves the fields read so far in the object
    // (a string cut short is left empty).
    int Write(CFile* file);
    int Read(CFile* file);
    void Serialize(CArchive& ar) override;
    // Points the record's texture names at this object's own strings.
    void ResetConnect();

private:
    friend class zk::BwAttributes<CDrawText>;
    tagKRBWDRAWINFO& bw_record() { return m_FontInfo.BwDrawInfo; }
    const tagKRBWDRAWINFO& bw_record() const { return m_FontInfo.BwDrawInfo; }
    void copy_from(const CDrawText& o);

    tagKRFONTINFO m_FontInfo{};
    CString m_String;
    CString m_BodyFile;
    CString m_EdgeFile;
    CString m_ShadFile;
    CBox m_DispEria;
};
