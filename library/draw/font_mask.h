// Text to supersampled one-bit glyph mask: sizes, spacing, fitting, alignment and the mask's
// place in the picture. The one implementation behind CKrFont's NomDispBwBmp and
// FitDispBwBmp; they map the text-attribute record onto a FontMaskRequest and back.
//
// Everything handed to the text layer is AntiScale times the output size, and every length
// that comes back is divided by AntiScale before it becomes a position. The text layer
// reports GDI's metrics (see platform/gdi_text/gdi_text.h), so the mask's size and position
// follow GDI's cell geometry:
//  - horizontal masks are the line length plus an italic pad wide, rounded up to 16 bits,
//    and the cell height high, rounded up to AntiScale; vertical masks the other way round;
//  - the top of a horizontal mask lies one cell height above the start point's y, so a
//    Japanese face's text sits on the line just above it; other faces move down by their
//    descent less a twentieth of the cell, to keep Western text on the same line;
//  - a following string would continue at NextAddress, which counts from Pos whatever the
//    alignment or AddressMode moved the start point to.
#pragma once

#include <string>
#include <string_view>

#include "platform/gdi_text/gdi_text.h"

class CKrMonoBitmap;

namespace zk {

struct FontMaskRequest {
    int anti_scale = 16;
    int aspect_mode = 0;
    std::string face;  // face name bytes in the library's code page
    int height = 32;
    int width_per = 100;
    int dir = 0;
    int space = 0;
    int sp_per = 0;
    int weight = 0;
    int italic = 0;
    int format = 0;
    SIZE eria{0, 0};
    int fit_mode = 0;
    int fit_str_max = 0, fit_str_min = 0;
    int fit_sp_max = 0, fit_sp_min = 0;
    POINT pos{0, 0};
    POINT next_address{0, 0};
    int address_mode = 0;
};

struct FontMaskResult {
    POINT origin{0, 0};        // output-pixel position of the mask's top-left corner
    POINT next_address{0, 0};  // where a following string would continue
    LONG length = 0;           // the measured line length, mask pixels (for tests and callers)
    LONG cell = 0;             // the cell height the text layer reported, mask pixels
    BYTE char_set = 0;         // of the font drawn with
    bool at_face = false;      // the vertical "@" face was used
};

// Renders `text` (multibyte, the library's code page) into `mask`, replacing its content, and
// reports the origin and the next address. With `fit` the line is fitted to the area first.
// Returns 0, or -1 when the request cannot be rendered at all (a supersampling factor outside
// 1 to 16, or no face installed); the mask is then empty and the result unchanged.
int render_font_mask(const FontMaskRequest& req, std::string_view text, bool fit, CKrMonoBitmap& mask,
                     FontMaskResult& result);

// Replaces every space byte with the break character: 0 without change for a space, -1 for a
// value that is no byte, else 1.
int change_break_char(std::string& text, unsigned brk);

// Looks a face up as GetFontLogfont does: 0 and the first enumerated description, or -2.
int lookup_face(const char* face, LOGFONTA& lf);

} // namespace zk
