// PAM snapshots of recorded frames. See pam_snapshot.h.
#include "platform/recorder/pam_snapshot.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>
#include <vector>

#include "core/checked.h"
#include "platform/recorder/program_recorder.h"

namespace zk {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// strerror is not safe on the encoding thread; the error category's message is.
std::string errno_text()
{
    return std::error_code(errno, std::generic_category()).message();
}

} // namespace

std::string snapshot_path(const std::string& dir, long long index)
{
    char name[40];
    std::snprintf(name, sizeof name, "frame_%06lld.pam", index);
    return dir.empty() || dir.back() == '/' ? dir + name : dir + '/' + name;
}

RecorderStatus write_pam_snapshot(const std::string& path, std::span<const std::uint32_t> pixels, int width, int height)
{
    std::size_t bytes = 0;
    if (width < 1 || height < 1 || !image_bytes(width, height, 4, bytes) || pixels.size() < bytes / 4)
        return ZK_RECORDER_FAIL(kRecorderBadArgument, "a snapshot has fewer pixels than its size");

    std::vector<std::uint8_t> out;
    char header[128];
    const int n = std::snprintf(header, sizeof header, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", width, height);
    out.reserve(static_cast<std::size_t>(n) + bytes);
    out.insert(out.end(), header, header + n);
    for (std::uint32_t p : pixels.first(bytes / 4)) {
        out.push_back(static_cast<std::uint8_t>(p >> 16));
        out.push_back(static_cast<std::uint8_t>(p >> 8));
        out.push_back(static_cast<std::uint8_t>(p));
        out.push_back(static_cast<std::uint8_t>(p >> 24));
    }

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return ZK_RECORDER_FAIL(kRecorderCannotCreate, "cannot create " + path + ": " + errno_text());
    const bool written = std::fwrite(out.data(), 1, out.size(), file.get()) == out.size();
    // Closing flushes; a full disk may only show here.
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) return ZK_RECORDER_FAIL(kRecorderCannotCreate, "cannot write " + path + ": " + errno_text());
    return {};
}

} // namespace zk
