// Building the family catalogue from fontconfig and the faces' name tables.
#include "platform/gdi_text/font_catalog.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_FONT_FORMATS_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>

#include "platform/gdi_text/code_page.h"

namespace zk {
namespace {

bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

std::string utf16be_to_utf8(const FT_Byte* p, FT_UInt len)
{
    std::string out;
    for (FT_UInt i = 0; i + 1 < len; i += 2) {
        char32_t c = static_cast<char32_t>(p[i] << 8 | p[i + 1]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < len) {
            char32_t lo = static_cast<char32_t>(p[i + 2] << 8 | p[i + 3]);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            }
        }
        if (c == 0) break;
        append_utf8(out, c);
    }
    return out;
}

// Legacy names (family, style) of a face in English and Japanese.
struct FaceNames {
    std::string family_en, family_ja, style_en;
};

FaceNames read_names(FT_Face face)
{
    FaceNames names;
    std::string mac_family, mac_style;
    FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName n;
        if (FT_Get_Sfnt_Name(face, i, &n) != 0) continue;
        if (n.name_id != TT_NAME_ID_FONT_FAMILY && n.name_id != TT_NAME_ID_FONT_SUBFAMILY) continue;
        if (n.platform_id == TT_PLATFORM_MICROSOFT &&
            (n.encoding_id == TT_MS_ID_UNICODE_CS || n.encoding_id == TT_MS_ID_UCS_4)) {
            std::string s = utf16be_to_utf8(n.string, n.string_len);
            if (s.empty()) continue;
            if (n.name_id == TT_NAME_ID_FONT_FAMILY) {
                if (n.language_id == TT_MS_LANGID_ENGLISH_UNITED_STATES) names.family_en = s;
                else if (n.language_id == TT_MS_LANGID_JAPANESE_JAPAN) names.family_ja = s;
            } else if (n.language_id == TT_MS_LANGID_ENGLISH_UNITED_STATES) {
                names.style_en = s;
            }
        } else if (n.platform_id == TT_PLATFORM_MACINTOSH && n.encoding_id == TT_MAC_ID_ROMAN &&
                   n.language_id == TT_MAC_LANGID_ENGLISH) {
            std::string s(reinterpret_cast<const char*>(n.string), n.string_len);
            (n.name_id == TT_NAME_ID_FONT_FAMILY ? mac_family : mac_style) = s;
        }
    }
    if (names.family_en.empty()) names.family_en = !mac_family.empty() ? mac_family : (face->family_name ? face->family_name : "");
    if (names.style_en.empty()) names.style_en = !mac_style.empty() ? mac_style : (face->style_name ? face->style_name : "Regular");
    if (names.family_ja == names.family_en) names.family_ja.clear();
    return names;
}

bool covers_japanese(FT_Face face, const TT_OS2* os2)
{
    constexpr FT_ULong kJisJapan = 1ul << 17;
    if (os2 && os2->version != 0xFFFF && os2->version >= 1 && (os2->ulCodePageRange1 & kJisJapan)) return true;
    return FT_Get_Char_Index(face, 0x3042) != 0 && FT_Get_Char_Index(face, 0x4E00) != 0;
}

std::string real_path(const char* path)
{
    char buf[PATH_MAX];
    return realpath(path, buf) ? std::string(buf) : std::string(path);
}

// The Windows Japanese faces the captions name, and the installed families they stand for.
struct Alias {
    const char* local;
    const char* latin;
    const char* target;
};
constexpr Alias kAliases[] = {
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", "MS Gothic", "IPAGothic"},
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D", "MS Mincho", "IPAMincho"},
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", "MS PGothic", "IPAPGothic"},
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE6\x98\x8E\xE6\x9C\x9D", "MS PMincho", "IPAPMincho"},
};

int style_rank(const FaceSource& f)
{
    bool bold = f.weight >= 600;
    return (bold ? 1 : 0) + (f.italic ? 2 : 0);
}

std::unique_ptr<FontCatalog> build_catalog()
{
    auto cat = std::make_unique<FontCatalog>();
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return cat;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, nullptr);
    FcFontSet* set = FcFontList(config, pattern, objects);

    FT_Library ft = nullptr;
    FT_Init_FreeType(&ft);
    std::map<std::string, FontFamilyInfo> by_name;  // keyed by folded English name
    std::set<std::pair<std::string, int>> seen;
    std::map<std::string, std::string> family_of_path;
    for (int i = 0; set && ft && i < set->nfont; ++i) {
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
        FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
        if (index < 0 || index > 0xFFFF) continue;  // variable-font instances are not listed apart
        std::string path = real_path(reinterpret_cast<const char*>(file));
        if (!seen.insert({path, index}).second) continue;
        FT_Face face = nullptr;
        if (FT_New_Face(ft, path.c_str(), index, &face) != 0) continue;
        if (FT_IS_SCALABLE(face) && face->units_per_EM > 0 && face->num_glyphs > 0) {
            const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
            FaceNames names = read_names(face);
            std::string key;
            for (char c : names.family_en) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (!names.family_en.empty()) {
                FontFamilyInfo& fam = by_name[key];
                if (fam.name_en.empty()) {
                    fam.name_en = names.family_en;
                    fam.name_local = names.family_ja;
                    BYTE family = FF_DONTCARE;
                    if (FT_IS_FIXED_WIDTH(face)) {
                        family = FF_MODERN;
                    } else if (os2 && os2->version != 0xFFFF) {
                        int cls = os2->sFamilyClass >> 8;
                        family = (cls >= 1 && cls <= 7) ? FF_ROMAN : cls == 8 ? FF_SWISS : FF_DONTCARE;
                    }
                    fam.pitch_and_family = static_cast<BYTE>((FT_IS_FIXED_WIDTH(face) ? FIXED_PITCH : VARIABLE_PITCH) | family);
                }
                fam.japanese = fam.japanese || covers_japanese(face, os2);
                FaceSource src;
                src.path = path;
                src.index = index;
                src.style = names.style_en;
                bool has_os2 = os2 && os2->version != 0xFFFF;
                src.weight = has_os2 && os2->usWeightClass ? os2->usWeightClass
                                                           : ((face->style_flags & FT_STYLE_FLAG_BOLD) ? 700 : 400);
                src.italic = has_os2 ? (os2->fsSelection & 1) != 0 : (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
                const char* format = FT_Get_Font_Format(face);
                src.cff = format && std::string(format) == "CFF";
                fam.faces.push_back(src);
                family_of_path[path] = key;
            }
        }
        FT_Done_Face(face);
    }
    if (ft) FT_Done_FreeType(ft);

    for (auto& [key, fam] : by_name) {
        std::stable_sort(fam.faces.begin(), fam.faces.end(), [](const FaceSource& a, const FaceSource& b) {
            if (style_rank(a) != style_rank(b)) return style_rank(a) < style_rank(b);
            return std::abs(a.weight - 400) < std::abs(b.weight - 400);
        });
        cat->families.push_back(fam);
    }
    // Windows Japanese faces over the IPA families, unless the real face is installed.
    for (const Alias& a : kAliases) {
        if (cat->find(a.latin, nullptr) || cat->find(a.local, nullptr)) continue;
        const FontFamilyInfo* target = cat->find(a.target, nullptr);
        if (!target) continue;
        FontFamilyInfo alias = *target;
        alias.name_en = a.latin;
        alias.name_local = a.local;
        alias.japanese = true;
        cat->families.push_back(alias);
    }

    // The face an unknown name is drawn with: fontconfig's choice for Japanese sans-serif text.
    FcPattern* want = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ja"));
    FcConfigSubstitute(config, want, FcMatchPattern);
    FcDefaultSubstitute(want);
    FcResult result;
    FcPattern* match = FcFontMatch(config, want, &result);
    if (match) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
            auto it = family_of_path.find(real_path(reinterpret_cast<const char*>(file)));
            if (it != family_of_path.end()) {
                const FontFamilyInfo* f = cat->find(by_name[it->second].name_en, nullptr);
                if (f) cat->fallback = static_cast<int>(f - cat->families.data());
            }
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(want);
    if (cat->fallback < 0 && !cat->families.empty()) {
        cat->fallback = 0;
        for (size_t i = 0; i < cat->families.size(); ++i) {
            if (cat->families[i].japanese) {
                cat->fallback = static_cast<int>(i);
                break;
            }
        }
    }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return cat;
}

struct CatalogHolder {
    std::mutex lock;
    std::shared_ptr<const FontCatalog> current;
};

CatalogHolder& holder()
{
    static CatalogHolder h;
    return h;
}

} // namespace

const FontFamilyInfo* FontCatalog::find(std::string_view name, bool* vertical) const
{
    bool at = !name.empty() && name[0] == '@';
    if (at) name.remove_prefix(1);
    for (const FontFamilyInfo& f : families) {
        if (same_name(f.name_en, name) || (!f.name_local.empty() && same_name(f.name_local, name))) {
            if (at && !f.japanese) return nullptr;  // only Japanese faces have a vertical twin
            if (vertical) *vertical = at;
            return &f;
        }
    }
    return nullptr;
}

std::string FontCatalog::matched_name(const FontFamilyInfo& f, std::string_view name) const
{
    std::string prefix;
    if (!name.empty() && name[0] == '@') {
        prefix = "@";
        name.remove_prefix(1);
    }
    if (same_name(f.name_en, name)) return prefix + f.name_en;
    if (!f.name_local.empty() && same_name(f.name_local, name)) return prefix + f.name_local;
    return prefix + f.name_en;
}

const std::string& display_name(const FontFamilyInfo& family, unsigned cp)
{
    return cp == kCodePageShiftJis && !family.name_local.empty() ? family.name_local : family.name_en;
}

std::shared_ptr<const FontCatalog> font_catalog()
{
    CatalogHolder& h = holder();
    std::lock_guard<std::mutex> guard(h.lock);
    if (!h.current) h.current = build_catalog();
    return h.current;
}

void rescan_font_catalog()
{
    std::shared_ptr<const FontCatalog> fresh = build_catalog();
    CatalogHolder& h = holder();
    std::lock_guard<std::mutex> guard(h.lock);
    h.current = std::move(fresh);
}

} // namespace zk
