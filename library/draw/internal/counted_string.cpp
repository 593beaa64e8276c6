#include "draw/internal/counted_string.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/byte_reader.h"

namespace zk {

namespace {

constexpr std::size_t kReadPiece = 64 * 1024;

} // namespace

bool read_counted_string(CFile& file, CString& s)
{
    s.Empty();
    std::uint8_t len[4];
    if (file.Read(len, 4) != 4) return false;
    std::int32_t n = 0;
    ByteReader(len, 4).le32s(n);
    if (n < 0) return false;
    std::string text;
    std::size_t left = static_cast<std::size_t>(n);
    while (left > 0) {
        const std::size_t piece = std::min(left, kReadPiece);
        const std::size_t at = text.size();
        text.resize(at + piece);
        if (file.Read(text.data() + at, static_cast<UINT>(piece)) != piece) return false;
        left -= piece;
    }
    s = CString(std::move(text));
    return true;
}

void write_counted_string(CFile& file, const CString& s)
{
    std::uint8_t len[4];
    put_le32(len, static_cast<std::uint32_t>(s.GetLength()));
    file.Write(len, 4);
    if (s.GetLength() > 0) file.Write(s.GetString(), static_cast<UINT>(s.GetLength()));
}

} // namespace zk
