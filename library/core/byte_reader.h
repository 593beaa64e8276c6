// A bounded reader over bytes already in memory, for every decoder and record reader.
//
// Each read checks what is left before it touches a byte, so a file that states more than it
// holds ends in a clean failure instead of a read past the buffer. Reads return false and
// leave the position where it was when the bytes are not there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace zk {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    ByteReader(const void* data, size_t size) : bytes_(static_cast<const std::uint8_t*>(data), size) {}

    size_t size() const { return bytes_.size(); }
    size_t position() const { return pos_; }
    size_t remaining() const { return bytes_.size() - pos_; }
    bool at_end() const { return pos_ >= bytes_.size(); }
    bool has(size_t n) const { return n <= remaining(); }
    const std::uint8_t* current() const { return bytes_.data() + pos_; }

    bool seek(size_t pos)
    {
        if (pos > bytes_.size()) return false;
        pos_ = pos;
        return true;
    }
    bool skip(size_t n)
    {
        if (!has(n)) return false;
        pos_ += n;
        return true;
    }
    bool read_bytes(void* out, size_t n)
    {
        if (!has(n)) return false;
        if (n) std::memcpy(out, bytes_.data() + pos_, n);
        pos_ += n;
        return true;
    }
    // A view of the next n bytes, consumed; empty and false when they are not all there.
    bool take(size_t n, std::span<const std::uint8_t>& out)
    {
        if (!has(n)) return false;
        out = bytes_.subspan(pos_, n);
        pos_ += n;
        return true;
    }
    bool u8(std::uint8_t& v) { return read_bytes(&v, 1); }
    bool le16(std::uint16_t& v)
    {
        if (!has(2)) return false;
        v = static_cast<std::uint16_t>(at(0) | at(1) << 8);
        pos_ += 2;
        return true;
    }
    bool le32(std::uint32_t& v)
    {
        if (!has(4)) return false;
        v = static_cast<std::uint32_t>(at(0)) | static_cast<std::uint32_t>(at(1)) << 8 |
            static_cast<std::uint32_t>(at(2)) << 16 | static_cast<std::uint32_t>(at(3)) << 24;
        pos_ += 4;
        return true;
    }
    bool be16(std::uint16_t& v)
    {
        if (!has(2)) return false;
        v = static_cast<std::uint16_t>(at(0) << 8 | at(1));
        pos_ += 2;
        return true;
    }
    bool be32(std::uint32_t& v)
    {
        if (!has(4)) return false;
        v = static_cast<std::uint32_t>(at(0)) << 24 | static_cast<std::uint32_t>(at(1)) << 16 |
            static_cast<std::uint32_t>(at(2)) << 8 | static_cast<std::uint32_t>(at(3));
        pos_ += 4;
        return true;
    }
    bool le32s(std::int32_t& v)
    {
        std::uint32_t u = 0;
        if (!le32(u)) return false;
        v = static_cast<std::int32_t>(u);
        return true;
    }
    bool be16s(std::int16_t& v)
    {
        std::uint16_t u = 0;
        if (!be16(u)) return false;
        v = static_cast<std::int16_t>(u);
        return true;
    }

private:
    std::uint8_t at(size_t i) const { return bytes_[pos_ + i]; }

    std::span<const std::uint8_t> bytes_;
    size_t pos_ = 0;
};

// Little- and big-endian stores into a byte buffer the caller sized.
inline void put_le16(std::uint8_t* p, std::uint16_t v) { p[0] = v & 0xFF; p[1] = v >> 8; }
inline void put_le32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = (v >> 16) & 0xFF; p[3] = v >> 24;
}
inline void put_be16(std::uint8_t* p, std::uint16_t v) { p[0] = v >> 8; p[1] = v & 0xFF; }
inline void put_be32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = v >> 24; p[1] = (v >> 16) & 0xFF; p[2] = (v >> 8) & 0xFF; p[3] = v & 0xFF;
}

} // namespace zk
