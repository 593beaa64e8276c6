// Reading and writing frame buffers as PAM pictures ("P7", TUPLTYPE RGB_ALPHA): the format of
// the committed reference pictures, chosen because it is trivial, lossless, keeps the key and
// is viewable (ImageMagick converts it: `convert x.pam x.png`).
#pragma once

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "framebuffer/kr_frame_buffer.h"

namespace zt {

inline bool write_pam(const std::string& path, const CKrFrameBuffer& fb)
{
    std::ofstream out(path, std::ios::binary);
    if (!out) return false;
    out << "P7\nWIDTH " << fb.GetWidth() << "\nHEIGHT " << fb.GetHeight()
        << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    const DWORD* p = fb.GetBufferDWord();
    const std::size_t n = static_cast<std::size_t>(fb.GetWidth()) * fb.GetHeight();
    std::vector<char> bytes(n * 4);
    for (std::size_t i = 0; i < n; ++i) {
        bytes[4 * i + 0] = static_cast<char>(p[i] >> 16);
        bytes[4 * i + 1] = static_cast<char>(p[i] >> 8);
        bytes[4 * i + 2] = static_cast<char>(p[i]);
        bytes[4 * i + 3] = static_cast<char>(p[i] >> 24);
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Reads what write_pam wrote; false for anything else.
inline bool read_pam(const std::string& path, CKrFrameBuffer& fb)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line, magic;
    long w = -1, h = -1, depth = 0, maxval = 0;
    std::getline(in, magic);
    if (magic != "P7") return false;
    while (std::getline(in, line) && line != "ENDHDR") {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "WIDTH") fields >> w;
        if (key == "HEIGHT") fields >> h;
        if (key == "DEPTH") fields >> depth;
        if (key == "MAXVAL") fields >> maxval;
    }
    if (line != "ENDHDR" || w < 1 || h < 1 || w > 16384 || h > 16384 || depth != 4 || maxval != 255) return false;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(w * h * 4));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return false;
    fb.DeleteFrameBuffer();
    if (fb.CreateFrameBuffer(w, h, 1) != 0) return false;
    DWORD* p = fb.GetBufferDWord();
    for (std::size_t i = 0; i < static_cast<std::size_t>(w * h); ++i)
        p[i] = static_cast<DWORD>(bytes[4 * i + 3]) << 24 | static_cast<DWORD>(bytes[4 * i]) << 16 |
               static_cast<DWORD>(bytes[4 * i + 1]) << 8 | bytes[4 * i + 2];
    return true;
}

} // namespace zt
