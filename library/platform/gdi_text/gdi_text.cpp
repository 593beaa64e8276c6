// The GDI stand-in's entry points: family enumeration and the text device context.
#include "platform/gdi_text/gdi_text.h"

#include <cstring>

#include "framebuffer/kr_bitmaps.h"
#include "platform/gdi_text/code_page.h"
#include "platform/gdi_text/font_catalog.h"
#include "platform/gdi_text/font_instance.h"

namespace zk {
namespace {

// Copies a name into a fixed field, cut at a character boundary so it keeps its terminator.
void copy_name(char* field, size_t size, std::string_view name, unsigned cp)
{
    std::memset(field, 0, size);
    size_t used = 0;
    for (const MbChar& ch : decode_text(name, cp)) {
        if (ch.offset + ch.length > size - 1) break;
        used = ch.offset + ch.length;
    }
    std::memcpy(field, name.data(), used);
}

// A family's name in the code page; falls back to the English name when the code page cannot
// spell the local one. False when neither can be spelled.
bool spelled(const std::string& utf8, unsigned cp, std::string& out) { return from_utf8(utf8, cp, out); }

bool family_name_in(const FontFamilyInfo& f, unsigned cp, std::string& out)
{
    return spelled(display_name(f, cp), cp, out) || spelled(f.name_en, cp, out);
}

bool deliver(const FontFamilyInfo& family, const FaceSource& face, bool at_face, const std::string& name, unsigned cp,
             const FontFamilyProc& proc)
{
    LOGFONTA lf{};
    lf.lfHeight = 16;
    lf.lfWeight = face.weight;
    lf.lfItalic = face.italic ? 1 : 0;
    std::shared_ptr<const FontInstance> font = FontInstance::create(family, at_face, lf);
    if (!font) return true;
    const TEXTMETRICA& tm = font->metrics();

    ENUMLOGFONTA elf{};
    lf.lfWidth = tm.tmAveCharWidth;
    lf.lfCharSet = tm.tmCharSet;
    lf.lfOutPrecision = OUT_STROKE_PRECIS;
    lf.lfClipPrecision = CLIP_STROKE_PRECIS;
    lf.lfQuality = DRAFT_QUALITY;
    lf.lfPitchAndFamily = family.pitch_and_family;
    copy_name(lf.lfFaceName, sizeof lf.lfFaceName, name, cp);
    elf.elfLogFont = lf;
    std::string style;
    if (!from_utf8(face.style, cp, style)) style = "Regular";
    bool plain = face.style == "Regular" || face.style == "Book" || face.style == "Normal" || face.style.empty();
    std::string full = plain ? name : name + " " + style;
    copy_name(reinterpret_cast<char*>(elf.elfFullName), sizeof elf.elfFullName, full, cp);
    copy_name(reinterpret_cast<char*>(elf.elfStyle), sizeof elf.elfStyle, style, cp);

    NEWTEXTMETRICA ntm{};
    std::memcpy(&ntm, &tm, sizeof tm - 3);  // the TEXTMETRICA part, without its tail padding
    static_assert(offsetof(NEWTEXTMETRICA, tmCharSet) == offsetof(TEXTMETRICA, tmCharSet));
    ntm.ntmFlags = (face.weight >= 600 ? NTM_BOLD : 0) | (face.italic ? NTM_ITALIC : 0) |
                   (face.weight < 600 && !face.italic ? NTM_REGULAR : 0) | (face.cff ? NTM_PS_OPENTYPE : NTM_TT_OPENTYPE);
    const FaceData& fd = font->face();
    ntm.ntmSizeEM = static_cast<UINT>(fd.units_per_em);
    ntm.ntmCellHeight = static_cast<UINT>(fd.win_ascent + fd.win_descent);
    ntm.ntmAvgWidth = static_cast<UINT>(fd.avg_char_width);
    return proc(elf, ntm, TRUETYPE_FONTTYPE);
}

} // namespace

int enum_font_families(const char* family, const FontFamilyProc& proc)
{
    std::shared_ptr<const FontCatalog> cat = font_catalog();
    const unsigned cp = code_page();
    int delivered = 0;
    if (family && *family) {
        std::string query = to_utf8(family, cp);
        bool at = false;
        const FontFamilyInfo* f = cat->find(query, &at);
        std::string name;
        if (!f || !from_utf8(cat->matched_name(*f, query), cp, name)) return 0;
        for (const FaceSource& face : f->faces) {
            ++delivered;
            if (!deliver(*f, face, at, name, cp, proc)) break;
        }
        return delivered;
    }
    for (const FontFamilyInfo& f : cat->families) {
        std::string name;
        if (f.faces.empty() || !family_name_in(f, cp, name)) continue;
        ++delivered;
        if (!deliver(f, f.faces.front(), false, name, cp, proc)) return delivered;
        if (f.japanese) {
            ++delivered;
            if (!deliver(f, f.faces.front(), true, "@" + name, cp, proc)) return delivered;
        }
    }
    return delivered;
}

void rescan_fonts() { rescan_font_catalog(); }

TextDc::TextDc() = default;
TextDc::~TextDc() = default;

bool TextDc::select_font(const LOGFONTA& lf)
{
    std::shared_ptr<const FontCatalog> cat = font_catalog();
    std::string query = to_utf8(std::string_view(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE)), code_page());
    bool at = false;
    const FontFamilyInfo* family = cat->find(query, &at);
    if (!family) {
        if (cat->fallback < 0) return false;
        family = &cat->families[static_cast<size_t>(cat->fallback)];
        at = false;
    }
    std::shared_ptr<const FontInstance> font = FontInstance::create(*family, at, lf);
    if (!font) return false;
    font_ = std::move(font);
    return true;
}

int TextDc::set_text_character_extra(int extra)
{
    int old = extra_;
    extra_ = extra;
    return old;
}

bool TextDc::set_text_justification(int break_extra, int break_count)
{
    if (break_count < 1) {
        break_extra_ = break_count_ = 0;
        return true;
    }
    break_extra_ = break_extra;
    break_count_ = break_count;
    return true;
}

bool TextDc::text_metrics(TEXTMETRICA& tm) const
{
    if (!font_) return false;
    tm = font_->metrics();
    return true;
}

bool TextDc::text_extent(std::string_view text, SIZE& size) const
{
    if (!font_) return false;
    long cx = font_->layout(text, extra_, break_extra_, break_count_, nullptr);
    size.cx = static_cast<LONG>(std::clamp<long>(cx, INT32_MIN, INT32_MAX));
    size.cy = font_->metrics().tmHeight;
    return true;
}

bool TextDc::text_out(CKrMonoBitmap& target, int x, int y, std::string_view text) const
{
    if (!font_) return false;
    std::vector<LaidGlyph> glyphs;
    font_->layout(text, extra_, break_extra_, break_count_, &glyphs);
    font_->draw(glyphs, target, x, y);
    return true;
}

GlyphCacheStats glyph_cache_stats()
{
    GlyphCache::Stats s = GlyphCache::instance().stats();
    return {s.hits, s.misses, s.bytes, s.entries};
}

void glyph_cache_clear() { GlyphCache::instance().clear(); }
void glyph_cache_enable(bool on) { GlyphCache::instance().set_enabled(on); }

} // namespace zk
