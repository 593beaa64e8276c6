// The installed font families, as the GDI stand-in reports and finds them.
//
// Built from fontconfig's list of scalable faces (each file once, however many links point at
// it) and the faces' own name tables: a family is a legacy family name (sfnt name 1) with its
// styles, found by its English or its Japanese name, or by one of the Windows Japanese face
// names mapped onto an installed IPA family. fontconfig is asked only what exists, never to
// match a name, so its fallback cannot stand in for a missing face.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi_text/gdi_text.h"

namespace zk {

struct FaceSource {
    std::string path;
    int index = 0;
    std::string style;     // English style name, UTF-8
    int weight = 400;      // OS/2 weight class
    bool italic = false;
    bool cff = false;      // PostScript outlines
};

struct FontFamilyInfo {
    std::string name_en;                  // UTF-8
    std::string name_local;               // Japanese name, UTF-8; empty when the face has none
    std::vector<FaceSource> faces;        // regular first, then bold, italic, bold italic
    bool japanese = false;                // covers Japanese: character set 128
    BYTE pitch_and_family = VARIABLE_PITCH;
};

class FontCatalog {
public:
    std::vector<FontFamilyInfo> families;
    int fallback = -1;  // the family an unknown face name is drawn with; -1 with no faces

    // The family a UTF-8 name finds (ASCII case folded). A name starting with "@" finds the
    // vertical twin of a Japanese family and sets *vertical.
    const FontFamilyInfo* find(std::string_view utf8_name, bool* vertical) const;
    // The spelling of one of the family's names that equals the query, or the display name.
    std::string matched_name(const FontFamilyInfo& family, std::string_view utf8_name) const;
};

// The name a family is listed under: its Japanese name when the code page is 932 and it has
// one, else its English name (UTF-8).
const std::string& display_name(const FontFamilyInfo& family, unsigned cp);

std::shared_ptr<const FontCatalog> font_catalog();
void rescan_font_catalog();

} // namespace zk
