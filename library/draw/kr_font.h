// CKrFont: one line of text to a supersampled glyph mask, and that mask to the renderer.
//
// Every piece of text the library draws goes through here: the font drawer and the text
// object derive from CKrFont and pass it their text-attribute record, tagKRFONTINFO. The
// mask geometry (sizes, fitting, alignment, NextAddress) lives in zk::render_font_mask; this
// class maps the record onto it, writes the results back, and hands the mask with the
// record's drawing attributes to CKrBwDraw, which paints body, edge and shadow.
//
// The record in memory embeds a tagKRBWDRAWINFO with three name pointers, so it is larger on
// this platform than the 284 bytes it occupies in a file. zk::pack_font_info and
// zk::unpack_font_info translate between the two: the first 124 bytes are the text fields as
// little-endian 32-bit values (the face name as its 34 bytes and two zero bytes), followed by
// the drawing attributes' own 160-byte stored form.
//
// Font lookups share the text layer's face list, so text is drawn from one thread at a time
// (the user interface thread); the window handle is accepted and not needed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/zorvik_api.h"
#include "draw/bw_draw_info.h"
#include "framebuffer/box.h"
#include "framebuffer/kr_bitmaps.h"
#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/cstring.h"
#include "platform/framework/win_types.h"
#include "platform/gdi_text/gdi_text.h"
#include "platform/win32/global_memory.h"

// Face names hold at most 32 characters; the field has room for the terminator and one more.
constexpr int kFontNameBytes = 34;

struct tagKRFONTINFO {
    std::int32_t AntiScale;    // supersampling factor 1, 4, 8 or 16
    std::int32_t AspectMode;   // 0: horizontal text widened by 1.125; 1: not widened
    char FontName[kFontNameBytes];
    std::int32_t Height;       // cell height, output pixels
    std::int32_t WidthPer;     // character width in percent; 0 counts as 100
    std::int32_t Dir;          // 0 horizontal, 1 vertical
    std::int32_t Space;        // extra spacing between characters, output pixels
    std::int32_t SpPer;        // space width in percent; 0 leaves spaces alone
    std::int32_t Weight;       // 0 normal, 1 bold
    std::int32_t Italic;       // 0 or 1
    std::int32_t Format;       // 0 start, 1 end, 2 centre of Eria
    SIZE Eria;                 // alignment and fitting area: width, height
    std::int32_t FitMode;      // 0 none, 1 shrink, 2 shrink or stretch
    SIZE FitStrMax;            // character width limits in percent: maximum (cx), minimum (cy)
    SIZE FitSpMax;             // spacing limits in output pixels: maximum (cx), minimum (cy)
    POINT Pos;
    POINT NextAddress;         // where a following string continues; written by every drawing
    std::int32_t AddressMode;  // 0 horizontal text starts at Pos, 1 at NextAddress
    tagKRBWDRAWINFO BwDrawInfo;
};

namespace zk {

constexpr std::size_t kFontInfoTextBytes = 124;
constexpr std::size_t kFontInfoBytes = kFontInfoTextBytes + kBwDrawInfoBytes;  // 284

void pack_font_info(const tagKRFONTINFO& info, std::span<std::uint8_t, kFontInfoBytes> out);
std::array<std::uint8_t, kFontInfoBytes> pack_font_info(const tagKRFONTINFO& info);
// Every bit pattern is a record; the three texture name pointers come back null. The face
// name is always terminated inside its field, however the stored bytes read.
void unpack_font_info(std::span<const std::uint8_t, kFontInfoBytes> in, tagKRFONTINFO& info);

} // namespace zk

// The font list: a movable global block of hCount entries of zk::kEnumEntryBytes each (font
// type, ENUMLOGFONTA, NEWTEXTMETRICA), owned by the caller once filled.
struct tagENUMER {
    HGLOBAL hGlobal;
    std::int32_t hCount;
};

namespace zk {
constexpr std::size_t kEnumEntryBytes = 4 + sizeof(ENUMLOGFONTA) + sizeof(NEWTEXTMETRICA);
static_assert(kEnumEntryBytes == 232);
} // namespace zk

class ZORVIK_API CKrFont {
public:
    CKrFont() = default;
    CKrFont(const CKrFont&) {}
    CKrFont& operator=(const CKrFont&) { return *this; }
    virtual ~CKrFont();

    // 0 and the face's description in lf, or -2 (lf untouched) when no family of that name is
    // installed.
    int GetFontLogfont(HWND hwnd, const char* face, LOGFONTA* lf);
    // Every family into a new block, one entry each: 0, or -1 when no block could be had.
    int GetAllFontList(HWND hwnd, tagENUMER* list);

    // The text's mask and the output position of its top-left corner, without and with
    // fitting to Eria. Both write NextAddress. 0, or -1 when the record cannot be drawn at
    // all (a supersampling factor outside 1 to 16, no face installed); the mask is then empty.
    int NomDispBwBmp(HWND hwnd, tagKRFONTINFO* info, const char* text, CKrMonoBitmap* mask, POINT* origin);
    int FitDispBwBmp(HWND hwnd, tagKRFONTINFO* info, const char* text, CKrMonoBitmap* mask, POINT* origin);

    // Draws the text with its body, edge and shadow into fb; box receives the area written.
    // Empty text draws nothing and empties the box. 0, or -1 when nothing could be drawn.
    int FontFbDisp(HWND hwnd, tagKRFONTINFO* info, const char* text, CKrFrameBuffer* fb, CBox* box);
    // The same, fb replaced by a picture of just the decorated text (see CKrBwDraw::SetFb).
    int FontFbSet(HWND hwnd, tagKRFONTINFO* info, const char* text, CKrFrameBuffer* fb, CBox& whole, CBox& body,
                  CBox& edge, CBox& shadow);

    // Replaces every space byte with brk: 0 (unchanged) for a space, -1 above 255, else 1.
    int ChBreakChar(CString& text, unsigned short brk);

private:
    int render_mask(tagKRFONTINFO* info, const char* text, bool fit, CKrMonoBitmap* mask, POINT* origin);
};
