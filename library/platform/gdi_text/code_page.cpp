// Code page selection and the multibyte decoders behind it.
#include "platform/gdi_text/code_page.h"

#include <iconv.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace zk {
namespace {

unsigned code_page_from_environment()
{
    const char* e = std::getenv("ZORVIK_CODEPAGE");
    if (!e) return kCodePageUtf8;
    std::string v(e);
    for (char& ch : v) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (v == "932" || v == "cp932" || v == "shift_jis" || v == "shift-jis" || v == "sjis") return kCodePageShiftJis;
    return kCodePageUtf8;
}

std::atomic<unsigned>& current_code_page()
{
    static std::atomic<unsigned> cp{code_page_from_environment()};
    return cp;
}

bool sjis_lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool sjis_trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// Code page 932 in both directions, built once from iconv. Index of the forward table is
// lead << 8 | trail; the reverse table covers the Basic Multilingual Plane.
struct Cp932Tables {
    std::array<char32_t, 65536> to_unicode{};   // 0 where the pair maps to nothing
    std::array<std::uint16_t, 65536> from_unicode{};  // 0 where the character has no spelling
    std::array<char32_t, 256> single{};         // single bytes; 0 for lead bytes and gaps
};

const Cp932Tables& cp932()
{
    static const std::unique_ptr<Cp932Tables> tables = [] {
        auto t = std::make_unique<Cp932Tables>();
        iconv_t cd = iconv_open("UTF-32LE", "CP932");
        auto convert = [&](const char* in, size_t n) -> char32_t {
            if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
            char src[2];
            std::memcpy(src, in, n);
            unsigned char dst[8];
            char* ip = src;
            char* op = reinterpret_cast<char*>(dst);
            size_t il = n, ol = sizeof dst;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0 || ol != 4) return 0;
            return static_cast<char32_t>(dst[0] | dst[1] << 8 | dst[2] << 16 | static_cast<std::uint32_t>(dst[3]) << 24);
        };
        for (int b = 0; b < 256; ++b) {
            if (sjis_lead(static_cast<unsigned char>(b))) continue;
            char c = static_cast<char>(b);
            char32_t u = convert(&c, 1);
            if (b < 0x80) u = static_cast<char32_t>(b);  // ASCII as itself, 0x5C included
            t->single[static_cast<size_t>(b)] = u;
            if (u && u < 0x10000 && !t->from_unicode[u]) t->from_unicode[u] = static_cast<std::uint16_t>(b);
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!sjis_lead(static_cast<unsigned char>(lead))) continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (!sjis_trail(static_cast<unsigned char>(trail))) continue;
                char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char32_t u = convert(pair, 2);
                std::uint16_t code = static_cast<std::uint16_t>(lead << 8 | trail);
                t->to_unicode[code] = u;
                // Duplicated characters (NEC and IBM rows) keep their first spelling.
                if (u && u < 0x10000 && !t->from_unicode[u]) t->from_unicode[u] = code;
            }
        }
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
        return t;
    }();
    return *tables;
}

bool east_asian_wide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// One UTF-8 character at p (n bytes left): its value and length, or U+FFFD and 1.
char32_t decode_utf8_one(const unsigned char* p, size_t n, std::uint8_t& len)
{
    unsigned char b = p[0];
    len = 1;
    if (b < 0x80) return b;
    int need = 0;
    char32_t c = 0, min = 0;
    if (b >= 0xC2 && b <= 0xDF) { need = 1; c = b & 0x1F; min = 0x80; }
    else if (b >= 0xE0 && b <= 0xEF) { need = 2; c = b & 0x0F; min = 0x800; }
    else if (b >= 0xF0 && b <= 0xF4) { need = 3; c = b & 0x07; min = 0x10000; }
    else return 0xFFFD;
    if (static_cast<size_t>(need) >= n) return 0xFFFD;
    for (int i = 1; i <= need; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0xFFFD;
        c = c << 6 | (p[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0xFFFD;
    len = static_cast<std::uint8_t>(need + 1);
    return c;
}

} // namespace

unsigned code_page() { return current_code_page().load(std::memory_order_relaxed); }

bool set_code_page(unsigned cp)
{
    if (cp != kCodePageShiftJis && cp != kCodePageUtf8) return false;
    current_code_page().store(cp, std::memory_order_relaxed);
    return true;
}

bool is_wide_character(char32_t c)
{
    if (c < 0x10000) {
        std::uint16_t code = cp932().from_unicode[c];
        if (code) return code > 0xFF;
    }
    return east_asian_wide(c);
}

std::vector<MbChar> decode_text(std::string_view text, unsigned cp)
{
    std::vector<MbChar> out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size(), i = 0;
    if (cp == kCodePageShiftJis) {
        const Cp932Tables& t = cp932();
        while (i < n) {
            unsigned char b = p[i];
            if (sjis_lead(b) && i + 1 < n && sjis_trail(p[i + 1])) {
                char32_t u = t.to_unicode[static_cast<size_t>(b << 8 | p[i + 1])];
                // Unassigned pairs draw as the code page's default character, as Windows does.
                out.push_back({u ? u : U'\u30FB', static_cast<std::uint32_t>(i), 2, true});
                i += 2;
                continue;
            }
            char32_t u = sjis_lead(b) ? 0 : t.single[b];
            out.push_back({u ? u : U'\uFFFD', static_cast<std::uint32_t>(i), 1, false});
            ++i;
        }
        return out;
    }
    while (i < n) {
        std::uint8_t len = 1;
        char32_t c = decode_utf8_one(p + i, n - i, len);
        out.push_back({c, static_cast<std::uint32_t>(i), len, is_wide_character(c)});
        i += len;
    }
    return out;
}

int count_characters(std::string_view text, unsigned cp)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size(), i = 0;
    int count = 0;
    while (i < n) {
        if (cp == kCodePageShiftJis) {
            i += (sjis_lead(p[i]) && i + 1 < n && sjis_trail(p[i + 1])) ? 2 : 1;
        } else {
            std::uint8_t len = 1;
            decode_utf8_one(p + i, n - i, len);
            i += len;
        }
        ++count;
    }
    return count;
}

void append_utf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string to_utf8(std::string_view text, unsigned cp)
{
    if (cp == kCodePageUtf8) return std::string(text);
    std::string out;
    for (const MbChar& ch : decode_text(text, cp)) append_utf8(out, ch.code);
    return out;
}

bool from_utf8(std::string_view utf8, unsigned cp, std::string& out)
{
    out.clear();
    if (cp == kCodePageUtf8) {
        out.assign(utf8);
        return true;
    }
    const Cp932Tables& t = cp932();
    for (const MbChar& ch : decode_text(utf8, kCodePageUtf8)) {
        if (ch.code >= 0x10000 || ch.code == 0xFFFD) return false;
        std::uint16_t code = t.from_unicode[ch.code];
        if (!code && ch.code != 0) return false;
        if (code > 0xFF) out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
    }
    return true;
}

std::string default_face_name()
{
    // "ＭＳ ゴシック"
    static constexpr char utf8[] = "\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF";
    static constexpr char sjis[] = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";
    return code_page() == kCodePageShiftJis ? std::string(sjis) : std::string(utf8);
}

} // namespace zk
