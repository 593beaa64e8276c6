// BSTR and task memory, apartment counting, GUID text and 16-bit text conversion.
#include "platform/com/com_base.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zk {
namespace {

thread_local int t_com_inits = 0;

// A BSTR is preceded by its byte length (32 bits) and followed by a 16-bit terminator.
struct BstrHeader {
    std::uint32_t bytes;
};

BSTR alloc_bstr(const void* data, size_t bytes)
{
    if (bytes > 0x7FFFFFF0u) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(sizeof(BstrHeader) + bytes + sizeof(OLECHAR) + 1));
    if (!block) return nullptr;
    const BstrHeader h{static_cast<std::uint32_t>(bytes)};
    std::memcpy(block, &h, sizeof h);
    unsigned char* text = block + sizeof h;
    if (data) std::memcpy(text, data, bytes);
    else std::memset(text, 0, bytes);
    std::memset(text + bytes, 0, sizeof(OLECHAR) + 1);
    return reinterpret_cast<BSTR>(text);
}

std::uint32_t bstr_bytes(BSTR text)
{
    BstrHeader h;
    std::memcpy(&h, reinterpret_cast<unsigned char*>(text) - sizeof h, sizeof h);
    return h.bytes;
}

void append_utf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

bool com_initialized_on_this_thread()
{
    return t_com_inits > 0;
}

bool parse_guid(const char* text, GUID& out)
{
    if (!text) return false;
    const size_t n = std::strlen(text);
    const bool braces = n == 38 && text[0] == '{' && text[37] == '}';
    if (!(n == 36 || braces)) return false;
    const char* p = braces ? text + 1 : text;
    for (int i = 0; i < 36; ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? p[i] != '-' : hex_digit(p[i]) < 0) return false;
    }
    out = make_guid(p);
    return true;
}

std::string guid_to_string(REFGUID g)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

std::u16string to_wide(const char* text, size_t max_units)
{
    std::u16string out;
    if (!text) return out;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    while (*s && out.size() < max_units) {
        char32_t c = *s;
        int extra = 0;
        if (c >= 0xF0 && c < 0xF8) {
            c &= 0x07;
            extra = 3;
        } else if (c >= 0xE0) {
            c &= 0x0F;
            extra = 2;
        } else if (c >= 0xC0) {
            c &= 0x1F;
            extra = 1;
        } else if (c >= 0x80) {
            c = 0xFFFD; // a stray continuation byte
        }
        ++s;
        for (int i = 0; i < extra; ++i) {
            if ((*s & 0xC0) != 0x80) {
                c = 0xFFFD;
                break;
            }
            c = c << 6 | (*s++ & 0x3F);
        }
        if (c >= 0x10000) {
            if (out.size() + 2 > max_units) break;
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string to_ansi(const OLECHAR* text, size_t max_bytes)
{
    std::string out;
    if (!text) return out;
    for (const OLECHAR* p = text; *p; ++p) {
        char32_t c = *p;
        if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        std::string one;
        append_utf8(one, c);
        if (out.size() + one.size() > max_bytes) break;
        out += one;
    }
    return out;
}

std::string to_ansi(const std::u16string& text, size_t max_bytes)
{
    return to_ansi(text.c_str(), max_bytes);
}

} // namespace zk

BSTR SysAllocString(const OLECHAR* text)
{
    if (!text) return nullptr;
    size_t n = 0;
    while (text[n]) ++n;
    return zk::alloc_bstr(text, n * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length)
{
    return zk::alloc_bstr(text, static_cast<size_t>(length) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char* bytes, UINT length)
{
    return zk::alloc_bstr(bytes, length);
}

void SysFreeString(BSTR text)
{
    if (text) std::free(reinterpret_cast<unsigned char*>(text) - sizeof(zk::BstrHeader));
}

UINT SysStringLen(BSTR text)
{
    return text ? zk::bstr_bytes(text) / sizeof(OLECHAR) : 0;
}

UINT SysStringByteLen(BSTR text)
{
    return text ? zk::bstr_bytes(text) : 0;
}

void* CoTaskMemAlloc(size_t bytes)
{
    return std::malloc(bytes ? bytes : 1);
}

void CoTaskMemFree(void* block)
{
    std::free(block);
}

HRESULT CoInitializeEx(void*, DWORD)
{
    return zk::t_com_inits++ == 0 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(void* reserved)
{
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize()
{
    if (zk::t_com_inits > 0) --zk::t_com_inits;
}

HRESULT OleInitialize(void* reserved)
{
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void OleUninitialize()
{
    CoUninitialize();
}
