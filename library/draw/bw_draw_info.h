// The drawing-attribute record of every caption element, and the small class that owns one.
//
// tagKRBWDRAWINFO says how the body, edge and shadow of a text or shape are painted: the
// supersampling factor of the mask, where the body goes, the edge and shadow geometry, and
// per part a plain colour, a two-colour gradient or a texture file. Text and graphic objects
// keep one inside their own records and store it in their files.
//
// In memory the record holds three pointers (the texture file names), so on this platform it
// is larger than the 160 bytes it occupies in a file. The stored form is therefore never the
// memory image: zk::pack_bw_draw_info and zk::unpack_bw_draw_info translate between the two,
// forty little-endian 32-bit fields in the record's order, the name pointers written as zero
// and ignored on reading.
//
// The record does not own its name pointers; whoever holds the record does (CBwDrawInfo here,
// the font drawer and the text and graphic objects elsewhere), in strings of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/zorvik_api.h"
#include "platform/framework/cstring.h"
#include "platform/framework/win_types.h"

// A two-colour gradient: Mode is kept for the caller and not used in drawing; Patern picks
// the shape (0-10), (x, y) its optional centre point, Col1 and Col2 its colours.
struct tagGRADINFO {
    std::int32_t Mode;
    std::int32_t Patern;
    std::int32_t x;
    std::int32_t y;
    DWORD Col1;
    DWORD Col2;
};

// A texture fill: Mode 0 centre, 1 tile, 2 stretch; File is a zero-terminated image file name
// or null.
struct tagTEXTUREINFO {
    std::int32_t Mode;
    const char* File;
};

struct tagEDGETYPE {
    std::int32_t Type;     // 0 hard edge, anything else soft
    std::int32_t Size;     // edge width in output pixels; below 1 no edge
    std::int32_t SoftPen;  // kept for the caller; drawing does not use it
};

struct tagSHADTYPE {
    std::int32_t Type;     // 0 drop, 1 extruded, 2 soft; other values draw as 0
    std::int32_t Size;     // offset on both axes (extrusion depth and direction for type 1)
    std::int32_t SoftSize; // blur radius of a soft shadow
    std::int32_t SoftPen;  // non-zero: layers replace what lies under them (knock-out)
};

// Part modes of BodyMode, EdgeMode and ShadMode.
enum : std::int32_t { kBwModeColor = 0, kBwModeGrad = 1, kBwModeTexture = 2 };

struct tagKRBWDRAWINFO {
    std::int32_t AntiScale; // 1, 4, 8 or 16
    POINT Pos;              // body's top-left corner in output pixels, set just before drawing
    tagEDGETYPE EdgeType;
    tagSHADTYPE ShadType;
    std::int32_t BodyMode;
    std::int32_t EdgeMode;
    std::int32_t ShadMode;
    DWORD BodyCol;
    DWORD EdgeCol;
    DWORD ShadCol;
    tagGRADINFO BodyGrad;
    tagGRADINFO EdgeGrad;
    tagGRADINFO ShadGrad;
    tagTEXTUREINFO BodyText;
    tagTEXTUREINFO EdgeText;
    tagTEXTUREINFO ShadText;
};

// How one grey image is coloured: Mode selects which of the three fills is used.
struct tagMAPINFO {
    std::int32_t Mode;
    const DWORD* Col;
    const tagGRADINFO* Grad;
    const tagTEXTUREINFO* Text;
};

namespace zk {

constexpr std::size_t kBwDrawInfoBytes = 160;

// Writes the record's stored form: forty little-endian 32-bit fields, the three name
// pointers as zero.
void pack_bw_draw_info(const tagKRBWDRAWINFO& info, std::span<std::uint8_t, kBwDrawInfoBytes> out);
std::array<std::uint8_t, kBwDrawInfoBytes> pack_bw_draw_info(const tagKRBWDRAWINFO& info);

// Reads a stored record. The three name pointers come back null: a stored pointer means
// nothing, and the record's owner points them at its own names afterwards. Every bit
// pattern is a valid record; the renderer bounds the sizes it finds there.
void unpack_bw_draw_info(std::span<const std::uint8_t, kBwDrawInfoBytes> in, tagKRBWDRAWINFO& info);

// The attributes of a record as every attribute holder sets and reads them (the drawing
// attributes, the text and graphic objects, the font drawer), so that their many legacy
// setters and getters are written once; BwAttributes below calls the exported ones inline.
// Getters skip null outputs; a part's setter also switches that part to its mode.
enum class BwPart { body, edge, shad };
inline constexpr BwPart kBwParts[] = {BwPart::body, BwPart::edge, BwPart::shad};

// Rounds to a supported factor: above 8 gives 16, 5-8 gives 8, 2-4 gives 4, below 2 gives 1.
std::int32_t anti_scale_step(long n);

void set_grad(tagGRADINFO& g, long mode, long patern, long x, long y, DWORD col1, DWORD col2);
void get_grad(const tagGRADINFO& g, long* mode, long* patern, long* x, long* y, DWORD* col1, DWORD* col2);

ZORVIK_API void set_col(tagKRBWDRAWINFO& info, BwPart part, DWORD col);
ZORVIK_API void set_grad(tagKRBWDRAWINFO& info, BwPart part, long mode, long patern, long x, long y, DWORD col1, DWORD col2);
ZORVIK_API void get_grad(const tagKRBWDRAWINFO& info, BwPart part, long* mode, long* patern, long* x, long* y, DWORD* col1,
              DWORD* col2);
// The record only points at the name; the caller keeps it alive.
void set_text(tagKRBWDRAWINFO& info, BwPart part, long mode, const char* file);
tagTEXTUREINFO& text_of(tagKRBWDRAWINFO& info, BwPart part);
const tagTEXTUREINFO& text_of(const tagKRBWDRAWINFO& info, BwPart part);
// Writes the texture's mode to `mode` when given.
void get_text_mode(const tagKRBWDRAWINFO& info, BwPart part, long* mode);

ZORVIK_API void set_edge_type(tagKRBWDRAWINFO& info, long type, long size, long softpen);
ZORVIK_API void get_edge_type(const tagKRBWDRAWINFO& info, long* type, long* size, long* softpen);
ZORVIK_API void set_shad_type(tagKRBWDRAWINFO& info, long type, long size, long softsize, long softpen);
ZORVIK_API void get_shad_type(const tagKRBWDRAWINFO& info, long* type, long* size, long* softsize, long* softpen);

// The colour, edge, shadow and gradient setters and getters that every object carrying a
// record exposes under the same legacy names (the drawing attributes, the text object, the
// graphic object), written once over the record the holder keeps. A holder derives from
// BwAttributes<Holder> and gives it the record through a private bw_record() pair, declaring
// the base a friend. The texture setters and getters stay with each holder, since each keeps
// its texture names in its own way.
template <typename Holder>
class ZORVIK_API BwAttributes {
public:
    // Colour setters also switch the part to colour mode.
    void SetBodyCol(DWORD col) { set_col(rec(), BwPart::body, col); }
    void SetEdgeCol(DWORD col) { set_col(rec(), BwPart::edge, col); }
    void SetShadCol(DWORD col) { set_col(rec(), BwPart::shad, col); }
    long GetBodyMode() const { return rec().BodyMode; }
    long GetEdgeMode() const { return rec().EdgeMode; }
    long GetShadMode() const { return rec().ShadMode; }
    DWORD GetBodyCol() const { return rec().BodyCol; }
    DWORD GetEdgeCol() const { return rec().EdgeCol; }
    DWORD GetShadCol() const { return rec().ShadCol; }

    void SetEdgeType(long type, long size, long softpen) { set_edge_type(rec(), type, size, softpen); }
    void SetShadType(long type, long size, long softsize, long softpen)
    {
        set_shad_type(rec(), type, size, softsize, softpen);
    }
    void GetEdgeType(long* type, long* size, long* softpen) const { get_edge_type(rec(), type, size, softpen); }
    void GetShadType(long* type, long* size, long* softsize, long* softpen) const
    {
        get_shad_type(rec(), type, size, softsize, softpen);
    }
    long GetEdgeType_Type() const { return rec().EdgeType.Type; }
    long GetEdgeType_Size() const { return rec().EdgeType.Size; }
    long GetEdgeType_SoftPen() const { return rec().EdgeType.SoftPen; }
    long GetShadType_Type() const { return rec().ShadType.Type; }
    long GetShadType_Size() const { return rec().ShadType.Size; }
    long GetShadType_SoftSize() const { return rec().ShadType.SoftSize; }
    long GetShadType_SoftPen() const { return rec().ShadType.SoftPen; }

    // Gradient setters also switch the part to gradient mode.
    void SetBodyGrad(long mode, long patern, long x, long y, DWORD col1, DWORD col2)
    {
        set_grad(rec(), BwPart::body, mode, patern, x, y, col1, col2);
    }
    void SetEdgeGrad(long mode, long patern, long x, long y, DWORD col1, DWORD col2)
    {
        set_grad(rec(), BwPart::edge, mode, patern, x, y, col1, col2);
    }
    void SetShadGrad(long mode, long patern, long x, long y, DWORD col1, DWORD col2)
    {
        set_grad(rec(), BwPart::shad, mode, patern, x, y, col1, col2);
    }
    void GetBodyGrad(long* mode, long* patern, long* x, long* y, DWORD* col1, DWORD* col2) const
    {
        get_grad(rec(), BwPart::body, mode, patern, x, y, col1, col2);
    }
    void GetEdgeGrad(long* mode, long* patern, long* x, long* y, DWORD* col1, DWORD* col2) const
    {
        get_grad(rec(), BwPart::edge, mode, patern, x, y, col1, col2);
    }
    void GetShadGrad(long* mode, long* patern, long* x, long* y, DWORD* col1, DWORD* col2) const
    {
        get_grad(rec(), BwPart::shad, mode, patern, x, y, col1, col2);
    }
    long GetBodyGrad_Mode() const { return rec().BodyGrad.Mode; }
    long GetBodyGrad_Patern() const { return rec().BodyGrad.Patern; }
    long GetBodyGrad_x() const { return rec().BodyGrad.x; }
    long GetBodyGrad_y() const { return rec().BodyGrad.y; }
    DWORD GetBodyGrad_Col1() const { return rec().BodyGrad.Col1; }
    DWORD GetBodyGrad_Col2() const { return rec().BodyGrad.Col2; }
    long GetEdgeGrad_Mode() const { return rec().EdgeGrad.Mode; }
    long GetEdgeGrad_Patern() const { return rec().EdgeGrad.Patern; }
    long GetEdgeGrad_x() const { return rec().EdgeGrad.x; }
    long GetEdgeGrad_y() const { return rec().EdgeGrad.y; }
    DWORD GetEdgeGrad_Col1() const { return rec().EdgeGrad.Col1; }
    DWORD GetEdgeGrad_Col2() const { return rec().EdgeGrad.Col2; }
    long GetShadGrad_Mode() const { return rec().ShadGrad.Mode; }
    long GetShadGrad_Patern() const { return rec().ShadGrad.Patern; }
    long GetShadGrad_x() const { return rec().ShadGrad.x; }
    long GetShadGrad_y() const { return rec().ShadGrad.y; }
    DWORD GetShadGrad_Col1() const { return rec().ShadGrad.Col1; }
    DWORD GetShadGrad_Col2() const { return rec().ShadGrad.Col2; }

    long GetBodyText_Mode() const { return rec().BodyText.Mode; }
    long GetEdgeText_Mode() const { return rec().EdgeText.Mode; }
    long GetShadText_Mode() const { return rec().ShadText.Mode; }

protected:
    BwAttributes() = default;
    BwAttributes(const BwAttributes&) = default;
    BwAttributes& operator=(const BwAttributes&) = default;
    ~BwAttributes() = default;

private:
    tagKRBWDRAWINFO& rec() { return static_cast<Holder&>(*this).bw_record(); }
    const tagKRBWDRAWINFO& rec() const { return static_cast<const Holder&>(*this).bw_record(); }
};

} // namespace zk

class ZORVIK_API CBwDrawInfo : public zk::BwAttributes<CBwDrawInfo> {
public:
    CBwDrawInfo();
    CBwDrawInfo(const CBwDrawInfo& o);
    CBwDrawInfo& operator=(const CBwDrawInfo& o);
    virtual ~CBwDrawInfo();

    tagKRBWDRAWINFO* GetInfo() { return &m_Info; }
    const tagKRBWDRAWINFO* GetInfo() const { return &m_Info; }

    // Rounds to a supported factor: above 8 gives 16, 5-8 gives 8, 2-4 gives 4, below 2 gives 1.
    void SetAntiScale(long n);
    long GetAntiScale() const { return m_Info.AntiScale; }

    // The colour, edge, shadow and gradient attributes come from BwAttributes.

    // Texture setters keep a private copy of the name (null counts as empty) and switch the
    // part to texture mode.
    void SetBodyText(long mode, const char* file);
    void SetEdgeText(long mode, const char* file);
    void SetShadText(long mode, const char* file);
    void GetBodyText(long* mode, CString& file) const;
    CString GetBodyText(long* mode) const;
    CString GetBodyText_File() const;
    const char* GetBodyText_FilePtr() const { return m_Info.BodyText.File; }
    void GetEdgeText(long* mode, CString& file) const;
    CString GetEdgeText(long* mode) const;
    CString GetEdgeText_File() const;
    const char* GetEdgeText_FilePtr() const { return m_Info.EdgeText.File; }
    void GetShadText(long* mode, CString& file) const;
    CString GetShadText(long* mode) const;
    CString GetShadText_File() const;
    const char* GetShadText_FilePtr() const { return m_Info.ShadText.File; }

private:
    friend class zk::BwAttributes<CBwDrawInfo>;
    tagKRBWDRAWINFO& bw_record() { return m_Info; }
    const tagKRBWDRAWINFO& bw_record() const { return m_Info; }
    void copy_from(const CBwDrawInfo& o);
    void set_text(zk::BwPart part, long mode, const char* file);
    CString text_file(zk::BwPart part, long* mode) const;

    tagKRBWDRAWINFO m_Info;
    // The names the record's texture pointers point at, by part. The record is handed out
    // writable (GetInfo), so the object never frees through those pointers: a caller may
    // point them elsewhere or clear them by unpacking a stored record into it.
    std::array<CString, 3> m_Names;
};
