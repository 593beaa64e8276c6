// The block reader and writer of the codecs: one buffer, 16384 bytes a step, a yield after each.
#include "imagefile/file_blocks.h"

#include <algorithm>

#include "core/checked.h"
#include "platform/win32/win32_base.h"

namespace zk {

bool read_rest_in_blocks(CFile& file, std::vector<std::uint8_t>& out)
{
    const ULONGLONG length = file.GetLength();
    const ULONGLONG pos = file.GetPosition();
    if (pos >= length) {
        out.clear();
        return false;
    }
    const ULONGLONG want = length - pos;
    if (want > kMaxBufferBytes) {
        out.clear();
        return false;
    }
    out.assign(static_cast<std::size_t>(want), 0);
    std::size_t done = 0;
    while (done < out.size()) {
        const std::size_t n = std::min(kFileBlock, out.size() - done);
        const UINT got = file.Read(out.data() + done, static_cast<UINT>(n));
        done += got;
        Sleep(0);
        if (got < n) break;  // the file shrank under us: keep what arrived
    }
    out.resize(done);
    return done > 0;
}

void write_in_blocks(CFile& file, std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t n = std::min(kFileBlock, bytes.size() - done);
        file.Write(bytes.data() + done, static_cast<UINT>(n));
        done += n;
        Sleep(0);
    }
}

} // namespace zk
