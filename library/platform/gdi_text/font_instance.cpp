// Fonts on FreeType: metrics as GDI reports them, layout, glyph rasterising and drawing.
#include "platform/gdi_text/font_instance.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_BITMAP_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#include "framebuffer/kr_bitmaps.h"
#include "platform/gdi_text/code_page.h"
#include "platform/gdi_text/mono_blit.h"
#include "platform/gdi_text/outline_raster.h"

namespace zk {
namespace {

// Every use of FreeType and HarfBuzz objects, which are not thread-safe, happens under this.
std::mutex& engine_lock()
{
    static std::mutex m;
    return m;
}

FT_Library ft_library()
{
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) l = nullptr;
        return l;
    }();
    return lib;
}

// Glyphs whose em is at least this many pixels are filled by our own scan converter, which
// is faster at the sizes supersampled captions use; smaller ones by FreeType's one-bit
// rasteriser, whose dropout control keeps strokes thinner than a pixel.
constexpr double kOwnRasterEm = 96.0;

// Synthetic italic: the slant FreeType's oblique styles use, about 12 degrees.
constexpr double kItalicShear = 0.2126;

std::uint64_t bits_of(double v)
{
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

double scale_of(std::uint64_t b)
{
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

long clamp_pixels(long v) { return std::clamp<long>(v, -kMaxFontPixels, kMaxFontPixels); }

} // namespace

struct FaceData::Impl {
    FT_Face face = nullptr;
    hb_font_t* hb = nullptr;
    bool has_vertical = false;
    std::unordered_map<std::uint32_t, std::int32_t> h_advance;
    std::unordered_map<std::uint32_t, std::int32_t> v_advance;
    std::unordered_map<char32_t, std::uint32_t> upright_glyph;  // after 'vert'/'vrt2'

    ~Impl()
    {
        if (hb) hb_font_destroy(hb);
        if (face) FT_Done_Face(face);
    }

    std::int32_t advance(std::uint32_t gid, bool vertical)
    {
        auto& cache = vertical ? v_advance : h_advance;
        auto it = cache.find(gid);
        if (it != cache.end()) return it->second;
        FT_Fixed adv = 0;
        FT_Int32 flags = FT_LOAD_NO_SCALE | (vertical ? FT_LOAD_VERTICAL_LAYOUT : 0);
        if (FT_Get_Advance(face, gid, flags, &adv) != 0) adv = 0;
        std::int32_t a = static_cast<std::int32_t>(std::clamp<FT_Fixed>(adv, -0x7FFF, 0x7FFF));
        cache.emplace(gid, a);
        return a;
    }

    // The glyph of a character standing upright in a vertical line: its vertical form when
    // the face has one, found by shaping the character alone with the vertical features on.
    std::uint32_t upright(char32_t c)
    {
        auto it = upright_glyph.find(c);
        if (it != upright_glyph.end()) return it->second;
        std::uint32_t gid = FT_Get_Char_Index(face, c);
        if (hb && gid) {
            hb_buffer_t* buf = hb_buffer_create();
            std::uint32_t cp = c;
            hb_buffer_add_utf32(buf, &cp, 1, 0, 1);
            hb_buffer_set_direction(buf, HB_DIRECTION_TTB);
            hb_buffer_set_script(buf, HB_SCRIPT_HIRAGANA);
            hb_buffer_set_language(buf, hb_language_from_string("ja", -1));
            hb_feature_t features[2];
            hb_feature_from_string("vert", -1, &features[0]);
            hb_feature_from_string("vrt2", -1, &features[1]);
            hb_shape(hb, buf, features, 2);
            unsigned n = 0;
            hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &n);
            if (n == 1 && info[0].codepoint) gid = info[0].codepoint;
            hb_buffer_destroy(buf);
        }
        upright_glyph.emplace(c, gid);
        return gid;
    }
};

FaceData::~FaceData() = default;

std::shared_ptr<FaceData> FaceData::open(const FaceSource& source)
{
    // Faces stay open for the life of the process: there are few, and fonts made from them
    // may be in use on other threads.
    static std::map<std::pair<std::string, int>, std::shared_ptr<FaceData>> registry;
    static std::uint32_t next_id = 1;
    auto key = std::make_pair(source.path, source.index);
    auto it = registry.find(key);
    if (it != registry.end()) return it->second;

    FT_Library lib = ft_library();
    if (!lib) return nullptr;
    auto data = std::shared_ptr<FaceData>(new FaceData);
    data->impl = std::make_unique<Impl>();
    Impl& im = *data->impl;
    if (FT_New_Face(lib, source.path.c_str(), source.index, &im.face) != 0) {
        im.face = nullptr;
        return nullptr;
    }
    FT_Face f = im.face;
    if (!FT_IS_SCALABLE(f) || f->units_per_EM == 0) return nullptr;
    FT_Select_Charmap(f, FT_ENCODING_UNICODE);
    hb_blob_t* blob = hb_blob_create_from_file_or_fail(source.path.c_str());
    if (blob) {
        hb_face_t* hf = hb_face_create(blob, static_cast<unsigned>(source.index));
        im.hb = hb_font_create(hf);
        hb_face_destroy(hf);
        hb_blob_destroy(blob);
    }
    im.has_vertical = FT_HAS_VERTICAL(f);

    data->source_ = source;
    data->id_ = next_id++;
    data->units_per_em = f->units_per_EM;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(f, FT_SFNT_HHEA));
    bool has_os2 = os2 && os2->version != 0xFFFF;
    int hh_ascent = hhea ? hhea->Ascender : f->ascender;
    int hh_descent = hhea ? -hhea->Descender : -f->descender;
    if (has_os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        data->win_ascent = os2->usWinAscent;
        data->win_descent = os2->usWinDescent;
    } else if (hh_ascent + hh_descent > 0) {
        data->win_ascent = hh_ascent;
        data->win_descent = hh_descent;
    } else {
        data->win_ascent = static_cast<int>(f->bbox.yMax);
        data->win_descent = static_cast<int>(-f->bbox.yMin);
    }
    if (data->win_ascent + data->win_descent <= 0) {
        data->win_ascent = f->units_per_EM;
        data->win_descent = 0;
    }
    int gap = hhea ? hhea->Line_Gap : 0;
    data->line_gap = std::max(0, gap - ((data->win_ascent + data->win_descent) - (hh_ascent + hh_descent)));
    data->avg_char_width = has_os2 ? os2->xAvgCharWidth : 0;
    if (data->avg_char_width <= 0) {
        std::uint32_t x = FT_Get_Char_Index(f, 'x');
        data->avg_char_width = x ? im.advance(x, false) : 0;
    }
    if (data->avg_char_width <= 0) data->avg_char_width = f->units_per_EM / 2;
    data->max_advance = hhea ? hhea->advance_Width_Max : f->max_advance_width;
    // Upright glyphs turn about the middle of their em box; the box's top is the typographic
    // ascender when the typographic box is one em, else the em's share of the win cell.
    int typo_top = has_os2 ? os2->sTypoAscender : 0;
    int typo_bottom = has_os2 ? os2->sTypoDescender : 0;
    if (typo_top > 0 && typo_top - typo_bottom == f->units_per_EM) {
        data->em_top = typo_top;
    } else {
        data->em_top = static_cast<int>(std::lround(static_cast<double>(f->units_per_EM) * data->win_ascent /
                                                    (data->win_ascent + data->win_descent)));
    }
    registry.emplace(key, data);
    return data;
}

FontInstance::~FontInstance() = default;

std::shared_ptr<const FontInstance> FontInstance::create(const FontFamilyInfo& family, bool at_face, const LOGFONTA& lf)
{
    if (family.faces.empty()) return nullptr;
    int want_weight = lf.lfWeight > 0 ? std::min<int>(lf.lfWeight, 1000) : FW_NORMAL;
    bool want_italic = lf.lfItalic != 0;
    const FaceSource* best = nullptr;
    long best_score = 0;
    for (const FaceSource& s : family.faces) {
        long score = (s.italic != want_italic ? 10000 : 0) + std::abs(s.weight - want_weight);
        if (!best || score < best_score) {
            best = &s;
            best_score = score;
        }
    }

    std::lock_guard<std::mutex> guard(engine_lock());
    std::shared_ptr<FaceData> face = FaceData::open(*best);
    if (!face) return nullptr;
    auto font = std::shared_ptr<FontInstance>(new FontInstance);
    font->face_ = face;
    font->at_face_ = at_face;
    long esc = lf.lfEscapement % 3600;
    if (esc < 0) esc += 3600;
    font->vertical_ = esc == 2700;

    const double cell = face->win_ascent + face->win_descent;
    long h = clamp_pixels(lf.lfHeight);
    long ascent, descent;
    if (h > 0 || h == 0) {
        // A cell height: ascent and descent share exactly that many pixels.
        long cell_px = h > 0 ? h : 16;
        font->sy_ = cell_px / cell;
        ascent = std::lround(face->win_ascent * font->sy_);
        descent = cell_px - ascent;
    } else {
        font->sy_ = static_cast<double>(-h) / face->units_per_em;
        ascent = std::lround(face->win_ascent * font->sy_);
        descent = std::lround(face->win_descent * font->sy_);
    }
    long w = std::abs(clamp_pixels(lf.lfWidth));
    font->sx_ = w ? static_cast<double>(w) / face->avg_char_width : font->sy_;

    font->italic_ = want_italic && !best->italic;
    if (want_weight >= 600 && best->weight < 600) {
        font->bold_ = static_cast<std::int32_t>(std::lround(face->units_per_em * font->sy_ / 24.0 * 64.0));
        font->bold_advance_ = (font->bold_ + 32) >> 6;
    }

    TEXTMETRICA& tm = font->tm_;
    tm.tmHeight = static_cast<LONG>(ascent + descent);
    tm.tmAscent = static_cast<LONG>(ascent);
    tm.tmDescent = static_cast<LONG>(descent);
    tm.tmInternalLeading = static_cast<LONG>(std::max<long>(0, tm.tmHeight - std::lround(face->units_per_em * font->sy_)));
    tm.tmExternalLeading = static_cast<LONG>(std::lround(face->line_gap * font->sy_));
    tm.tmAveCharWidth = static_cast<LONG>(w ? w : std::lround(face->avg_char_width * font->sy_));
    tm.tmMaxCharWidth = static_cast<LONG>(std::lround(face->max_advance * font->sx_));
    tm.tmWeight = font->bold_ ? want_weight : best->weight;
    tm.tmOverhang = 0;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFF;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = want_italic || best->italic ? 255 : 0;
    tm.tmUnderlined = lf.lfUnderline;
    tm.tmStruckOut = lf.lfStrikeOut;
    tm.tmPitchAndFamily = static_cast<BYTE>(((family.pitch_and_family & 0x0F) == FIXED_PITCH ? 0 : TMPF_FIXED_PITCH) |
                                            TMPF_VECTOR | TMPF_TRUETYPE | (family.pitch_and_family & 0xF0));
    tm.tmCharSet = family.japanese ? SHIFTJIS_CHARSET : ANSI_CHARSET;
    return font;
}

long FontInstance::layout(std::string_view text, int extra, int break_extra, int break_count,
                          std::vector<LaidGlyph>* out) const
{
    std::vector<MbChar> chars = decode_text(text);
    long per_break = break_count > 0 ? break_extra / break_count : 0;
    long remainder = break_count > 0 ? break_extra - per_break * break_count : 0;
    long pen = 0;
    if (out) {
        out->clear();
        out->reserve(chars.size());
    }
    std::lock_guard<std::mutex> guard(engine_lock());
    FaceData::Impl& im = *face_->impl;
    for (const MbChar& ch : chars) {
        bool upright = at_face_ && ch.wide;
        std::uint32_t gid = upright ? im.upright(ch.code) : FT_Get_Char_Index(im.face, ch.code);
        long design = upright ? (im.has_vertical ? im.advance(gid, true) : face_->units_per_em) : im.advance(gid, false);
        long advance = std::lround(design * sx_) + bold_advance_;
        if (out) {
            LaidGlyph g;
            g.key.face_id = face_->id();
            g.key.glyph = gid;
            g.key.scale_x = bits_of(sx_);
            g.key.scale_y = bits_of(sy_);
            g.key.bold = bold_;
            g.key.italic = italic_;
            g.key.upright = upright;
            g.key.vertical = vertical_;
            g.pen = static_cast<int>(std::clamp<long>(pen, INT32_MIN / 2, INT32_MAX / 2));
            out->push_back(g);
        }
        pen += advance + extra;
        if (ch.code == tm_.tmBreakChar) {
            pen += per_break;
            if (remainder > 0) {
                ++pen;
                --remainder;
            } else if (remainder < 0) {
                --pen;
                ++remainder;
            }
        }
    }
    return pen;
}

std::shared_ptr<const GlyphMask> FontInstance::glyph_mask(const GlyphKey& key) const
{
    GlyphCache& cache = GlyphCache::instance();
    if (auto hit = cache.find(key)) return hit;

    auto mask = std::make_shared<GlyphMask>();
    // A glyph that cannot be rasterised is cached as an empty mask.
    auto drop_mask = [&mask] {
        mask->width = mask->rows = mask->pitch = 0;
        mask->bits.clear();
    };
    EdgeList edges;
    bool own_raster = false;
    double left = 0, top = 0;  // outline position of the mask's top-left corner
    {
        std::lock_guard<std::mutex> guard(engine_lock());
        FaceData::Impl& im = *face_->impl;
        FT_Library lib = ft_library();
        if (FT_Load_Glyph(im.face, key.glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0 &&
            im.face->glyph->format == FT_GLYPH_FORMAT_OUTLINE && im.face->glyph->outline.n_points > 0) {
            const FT_Outline& src = im.face->glyph->outline;
            FT_Outline o;
            if (FT_Outline_New(lib, static_cast<FT_UInt>(src.n_points), src.n_contours, &o) == 0) {
                FT_Outline_Copy(&src, &o);
                const double sx = scale_of(key.scale_x), sy = scale_of(key.scale_y);
                const double em_top = face_->em_top;
                const double half_advance = key.upright ? im.advance(key.glyph, false) / 2.0 : 0.0;
                const double centre = em_top - face_->units_per_em / 2.0;
                for (int i = 0; i < o.n_points; ++i) {
                    double gx = static_cast<double>(o.points[i].x), gy = static_cast<double>(o.points[i].y);
                    double u, v;
                    if (key.upright) {
                        // Turned a quarter counter-clockwise about the em box's middle, so that
                        // the line's quarter turn clockwise stands it upright again.
                        u = (em_top - gy) * sx;
                        v = (centre + gx - half_advance) * sy;
                    } else {
                        u = gx * sx;
                        v = gy * sy;
                    }
                    if (key.italic) u += kItalicShear * v;
                    // FreeType's y runs up: the horizontal line keeps (u, v); the downward line
                    // is the quarter turn clockwise (v, -u).
                    double fx = key.vertical ? v : u;
                    double fy = key.vertical ? -u : v;
                    o.points[i].x = static_cast<FT_Pos>(std::llround(fx * 64.0));
                    o.points[i].y = static_cast<FT_Pos>(std::llround(fy * 64.0));
                }
                if (key.bold) FT_Outline_EmboldenXY(&o, key.bold, key.bold);
                FT_BBox box;
                FT_Outline_Get_CBox(&o, &box);
                long x0 = static_cast<long>(std::floor(box.xMin / 64.0)), y0 = static_cast<long>(std::floor(box.yMin / 64.0));
                long x1 = static_cast<long>(std::ceil(box.xMax / 64.0)), y1 = static_cast<long>(std::ceil(box.yMax / 64.0));
                if (x1 > x0 && y1 > y0 && x1 - x0 <= 4 * kMaxFontPixels && y1 - y0 <= 4 * kMaxFontPixels) {
                    mask->left = static_cast<int>(x0);
                    mask->top = static_cast<int>(-y1);
                    mask->width = static_cast<int>(x1 - x0);
                    mask->rows = static_cast<int>(y1 - y0);
                    mask->pitch = (mask->width + 7) / 8;
                    mask->bits.assign(static_cast<size_t>(mask->pitch) * static_cast<size_t>(mask->rows), 0);
                    left = static_cast<double>(x0);
                    top = static_cast<double>(y1);
                    const double em_pixels = face_->units_per_em * std::min(sx, sy);
                    if (em_pixels >= kOwnRasterEm) {
                        // Only the walk needs FreeType; the fill runs after the lock is let go.
                        own_raster = edges.add_outline(o);
                        if (!own_raster) drop_mask();
                    } else {
                        FT_Outline_Translate(&o, -x0 * 64, -y0 * 64);
                        FT_Bitmap bm;
                        FT_Bitmap_Init(&bm);
                        bm.rows = static_cast<unsigned>(mask->rows);
                        bm.width = static_cast<unsigned>(mask->width);
                        bm.pitch = mask->pitch;
                        bm.buffer = mask->bits.data();
                        bm.pixel_mode = FT_PIXEL_MODE_MONO;
                        bm.num_grays = 2;
                        if (FT_Outline_Get_Bitmap(lib, &o, &bm) != 0) drop_mask();
                    }
                }
                FT_Outline_Done(lib, &o);
            }
        }
    }
    if (own_raster) edges.fill(RasterTarget{mask->bits.data(), mask->width, mask->rows, mask->pitch, left, top});
    cache.insert(key, mask);
    return mask;
}

void FontInstance::draw(const std::vector<LaidGlyph>& glyphs, CKrMonoBitmap& target, long x, long y) const
{
    if (!target.GetBits()) return;
    const MonoView view{target.GetBits(), target.GetWidth(), target.GetHeight(),
                        static_cast<long>(target.GetLineByte())};
    // The masks are held here while they are laid, whatever the cache evicts meanwhile.
    std::vector<std::shared_ptr<const GlyphMask>> held;
    std::vector<PlacedMono> placed;
    held.reserve(glyphs.size());
    placed.reserve(glyphs.size());
    for (const LaidGlyph& g : glyphs) {
        std::shared_ptr<const GlyphMask> m = glyph_mask(g.key);
        if (!m || m->width <= 0) continue;
        long rx = vertical_ ? x - tm_.tmAscent : x + g.pen;
        long ry = vertical_ ? y + g.pen : y + tm_.tmAscent;
        placed.push_back({MonoSource{m->bits.data(), m->width, m->rows, m->pitch}, rx + m->left, ry + m->top});
        held.push_back(std::move(m));
    }
    // Bands of 32 rows: a caption mask's band stays in the first-level cache while every
    // glyph crossing it is laid in.
    or_mono_all(placed, view, 32);
}

} // namespace zk
