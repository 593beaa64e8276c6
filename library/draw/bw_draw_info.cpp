// CBwDrawInfo and the stored form of tagKRBWDRAWINFO.
//
// The stored form is written field by field rather than copied from memory: the in-memory
// record carries 8-byte pointers and compiler padding that the file format never had.
#include "draw/bw_draw_info.h"

#include <cstring>
#include <type_traits>

namespace {

char* duplicate_name(const char* file)
{
    const std::size_t n = file ? std::strlen(file) : 0;
    char* p = new char[n + 1];
    if (n) std::memcpy(p, file, n);
    p[n] = '\0';
    return p;
}

void free_name(tagTEXTUREINFO& t)
{
    delete[] t.File;
    t.File = nullptr;
}

// The stored fields in order, as views onto the record's 32-bit members. The name slots are
// marked by a null field pointer.
template <typename Info, typename Visit>
void for_each_field(Info& info, Visit&& visit)
{
    visit(&info.AntiScale);
    visit(&info.Pos.x);
    visit(&info.Pos.y);
    visit(&info.EdgeType.Type);
    visit(&info.EdgeType.Size);
    visit(&info.EdgeType.SoftPen);
    visit(&info.ShadType.Type);
    visit(&info.ShadType.Size);
    visit(&info.ShadType.SoftSize);
    visit(&info.ShadType.SoftPen);
    visit(&info.BodyMode);
    visit(&info.EdgeMode);
    visit(&info.ShadMode);
    visit(&info.BodyCol);
    visit(&info.EdgeCol);
    visit(&info.ShadCol);
    for (auto* g : {&info.BodyGrad, &info.EdgeGrad, &info.ShadGrad}) {
        visit(&g->Mode);
        visit(&g->Patern);
        visit(&g->x);
        visit(&g->y);
        visit(&g->Col1);
        visit(&g->Col2);
    }
    for (auto* t : {&info.BodyText, &info.EdgeText, &info.ShadText}) {
        visit(&t->Mode);
        visit(static_cast<std::int32_t*>(nullptr));
    }
}

CString name_or_empty(const char* p)
{
    return CString(p ? p : "");
}

} // namespace

namespace zk {

void pack_bw_draw_info(const tagKRBWDRAWINFO& info, std::span<std::uint8_t, kBwDrawInfoBytes> out)
{
    std::size_t at = 0;
    for_each_field(info, [&](const auto* field) {
        const std::uint32_t v = field ? static_cast<std::uint32_t>(*field) : 0u;
        out[at + 0] = static_cast<std::uint8_t>(v);
        out[at + 1] = static_cast<std::uint8_t>(v >> 8);
        out[at + 2] = static_cast<std::uint8_t>(v >> 16);
        out[at + 3] = static_cast<std::uint8_t>(v >> 24);
        at += 4;
    });
}

std::array<std::uint8_t, kBwDrawInfoBytes> pack_bw_draw_info(const tagKRBWDRAWINFO& info)
{
    std::array<std::uint8_t, kBwDrawInfoBytes> out{};
    pack_bw_draw_info(info, std::span<std::uint8_t, kBwDrawInfoBytes>(out));
    return out;
}

void unpack_bw_draw_info(std::span<const std::uint8_t, kBwDrawInfoBytes> in, tagKRBWDRAWINFO& info)
{
    std::size_t at = 0;
    for_each_field(info, [&](auto* field) {
        const std::uint32_t v = static_cast<std::uint32_t>(in[at]) | static_cast<std::uint32_t>(in[at + 1]) << 8 |
                                static_cast<std::uint32_t>(in[at + 2]) << 16 |
                                static_cast<std::uint32_t>(in[at + 3]) << 24;
        using T = std::remove_pointer_t<decltype(field)>;
        if (field) *field = static_cast<T>(v);
        at += 4;
    });
    info.BodyText.File = nullptr;
    info.EdgeText.File = nullptr;
    info.ShadText.File = nullptr;
}

void set_grad(tagGRADINFO& g, long mode, long patern, long x, long y, DWORD col1, DWORD col2)
{
    g = {static_cast<std::int32_t>(mode), static_cast<std::int32_t>(patern), static_cast<std::int32_t>(x),
         static_cast<std::int32_t>(y), col1, col2};
}

void get_grad(const tagGRADINFO& g, long* mode, long* patern, long* x, long* y, DWORD* col1, DWORD* col2)
{
    if (mode) *mode = g.Mode;
    if (patern) *patern = g.Patern;
    if (x) *x = g.x;
    if (y) *y = g.y;
    if (col1) *col1 = g.Col1;
    if (col2) *col2 = g.Col2;
}

} // namespace zk

CBwDrawInfo::CBwDrawInfo() : m_Info{}
{
    m_Info.AntiScale = 16;
}

CBwDrawInfo::CBwDrawInfo(const CBwDrawInfo& o) : m_Info{}
{
    copy_from(o);
}

CBwDrawInfo& CBwDrawInfo::operator=(const CBwDrawInfo& o)
{
    if (this != &o) copy_from(o);
    return *this;
}

CBwDrawInfo::~CBwDrawInfo()
{
    free_names();
}

void CBwDrawInfo::free_names()
{
    free_name(m_Info.BodyText);
    free_name(m_Info.EdgeText);
    free_name(m_Info.ShadText);
}

void CBwDrawInfo::copy_from(const CBwDrawInfo& o)
{
    // Duplicate first so that a failed allocation leaves this object as it was.
    char* body = o.m_Info.BodyText.File ? duplicate_name(o.m_Info.BodyText.File) : nullptr;
    char* edge = nullptr;
    char* shad = nullptr;
    try {
        edge = o.m_Info.EdgeText.File ? duplicate_name(o.m_Info.EdgeText.File) : nullptr;
        shad = o.m_Info.ShadText.File ? duplicate_name(o.m_Info.ShadText.File) : nullptr;
    } catch (...) {
        delete[] body;
        delete[] edge;
        throw;
    }
    free_names();
    m_Info = o.m_Info;
    m_Info.BodyText.File = body;
    m_Info.EdgeText.File = edge;
    m_Info.ShadText.File = shad;
}

void CBwDrawInfo::SetAntiScale(long n)
{
    m_Info.AntiScale = n > 8 ? 16 : n > 4 ? 8 : n > 1 ? 4 : 1;
}

void CBwDrawInfo::SetBodyCol(DWORD col)
{
    m_Info.BodyCol = col;
    m_Info.BodyMode = kBwModeColor;
}

void CBwDrawInfo::SetEdgeCol(DWORD col)
{
    m_Info.EdgeCol = col;
    m_Info.EdgeMode = kBwModeColor;
}

void CBwDrawInfo::SetShadCol(DWORD col)
{
    m_Info.ShadCol = col;
    m_Info.ShadMode = kBwModeColor;
}

void CBwDrawInfo::SetEdgeType(long type, long size, long softpen)
{
    m_Info.EdgeType = {static_cast<std::int32_t>(type), static_cast<std::int32_t>(size),
                       static_cast<std::int32_t>(softpen)};
}

void CBwDrawInfo::SetShadType(long type, long size, long softsize, long softpen)
{
    m_Info.ShadType = {static_cast<std::int32_t>(type), static_cast<std::int32_t>(size),
                       static_cast<std::int32_t>(softsize), static_cast<std::int32_t>(softpen)};
}

void CBwDrawInfo::GetEdgeType(long* type, long* size, long* softpen) const
{
    if (type) *type = m_Info.EdgeType.Type;
    if (size) *size = m_Info.EdgeType.Size;
    if (softpen) *softpen = m_Info.EdgeType.SoftPen;
}

void CBwDrawInfo::GetShadType(long* type, long* size, long* softsize, long* softpen) const
{
    if (type) *type = m_Info.ShadType.Type;
    if (size) *size = m_Info.ShadType.Size;
    if (softsize) *softsize = m_Info.ShadType.SoftSize;
    if (softpen) *softpen = m_Info.ShadType.SoftPen;
}

namespace {

void set_text(tagTEXTUREINFO& t, long mode, const char* file)
{
    char* copy = duplicate_name(file);
    free_name(t);
    t.File = copy;
    t.Mode = static_cast<std::int32_t>(mode);
}

} // namespace

void CBwDrawInfo::SetBodyGrad(long mode, long patern, long x, long y, DWORD col1, DWORD col2)
{
    zk::set_grad(m_Info.BodyGrad, mode, patern, x, y, col1, col2);
    m_Info.BodyMode = kBwModeGrad;
}

void CBwDrawInfo::SetEdgeGrad(long mode, long patern, long x, long y, DWORD col1, DWORD col2)
{
    zk::set_grad(m_Info.EdgeGrad, mode, patern, x, y, col1, col2);
    m_Info.EdgeMode = kBwModeGrad;
}

void CBwDrawInfo::SetShadGrad(long mode, long patern, long x, long y, DWORD col1, DWORD col2)
{
    zk::set_grad(m_Info.ShadGrad, mode, patern, x, y, col1, col2);
    m_Info.ShadMode = kBwModeGrad;
}

void CBwDrawInfo::GetBodyGrad(long* mode, long* patern, long* x, long* y, DWORD* col1, DWORD* col2) const
{
    zk::get_grad(m_Info.BodyGrad, mode, patern, x, y, col1, col2);
}

void CBwDrawInfo::GetEdgeGrad(long* mode, long* patern, long* x, long* y, DWORD* col1, DWORD* col2) const
{
    zk::get_grad(m_Info.EdgeGrad, mode, patern, x, y, col1, col2);
}

void CBwDrawInfo::GetShadGrad(long* mode, long* patern, long* x, long* y, DWORD* col1, DWORD* col2) const
{
    zk::get_grad(m_Info.ShadGrad, mode, patern, x, y, col1, col2);
}

void CBwDrawInfo::SetBodyText(long mode, const char* file)
{
    set_text(m_Info.BodyText, mode, file);
    m_Info.BodyMode = kBwModeTexture;
}

void CBwDrawInfo::SetEdgeText(long mode, const char* file)
{
    set_text(m_Info.EdgeText, mode, file);
    m_Info.EdgeMode = kBwModeTexture;
}

void CBwDrawInfo::SetShadText(long mode, const char* file)
{
    set_text(m_Info.ShadText, mode, file);
    m_Info.ShadMode = kBwModeTexture;
}

void CBwDrawInfo::GetBodyText(long* mode, CString& file) const
{
    if (mode) *mode = m_Info.BodyText.Mode;
    file = name_or_empty(m_Info.BodyText.File);
}

CString CBwDrawInfo::GetBodyText(long* mode) const
{
    if (mode) *mode = m_Info.BodyText.Mode;
    return name_or_empty(m_Info.BodyText.File);
}

CString CBwDrawInfo::GetBodyText_File() const
{
    return name_or_empty(m_Info.BodyText.File);
}

void CBwDrawInfo::GetEdgeText(long* mode, CString& file) const
{
    if (mode) *mode = m_Info.EdgeText.Mode;
    file = name_or_empty(m_Info.EdgeText.File);
}

CString CBwDrawInfo::GetEdgeText(long* mode) const
{
    if (mode) *mode = m_Info.EdgeText.Mode;
    return name_or_empty(m_Info.EdgeText.File);
}

CString CBwDrawInfo::GetEdgeText_File() const
{
    return name_or_empty(m_Info.EdgeText.File);
}

void CBwDrawInfo::GetShadText(long* mode, CString& file) const
{
    if (mode) *mode = m_Info.ShadText.Mode;
    file = name_or_empty(m_Info.ShadText.File);
}

CString CBwDrawInfo::GetShadText(long* mode) const
{
    if (mode) *mode = m_Info.ShadText.Mode;
    return name_or_empty(m_Info.ShadText.File);
}

CString CBwDrawInfo::GetShadText_File() const
{
    return name_or_empty(m_Info.ShadText.File);
}
