// Walking the chunks of a RIFF file. See riff_layout.h.
#include "platform/media/riff_layout.h"

#include <cstring>

namespace zk {
namespace {

constexpr int kMaxChunks = 4096; // far more than any clip's headers hold
constexpr int kMaxDepth = 4;     // lists in lists: an AVI file goes three deep

std::uint32_t le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16 |
           static_cast<std::uint32_t>(p[3]) << 24;
}

bool is(const std::uint8_t* p, const char* fourcc)
{
    return std::memcmp(p, fourcc, 4) == 0;
}

std::string name_of(const std::uint8_t* p)
{
    std::string s;
    for (int i = 0; i < 4; ++i) s += p[i] >= 0x20 && p[i] < 0x7F ? static_cast<char>(p[i]) : '?';
    return s;
}

struct Walk {
    std::uint64_t file_size;
    const ReadBytesAt& read;
    int chunks = 0;
    bool ended = false; // a media chunk ran past the end of the file: there is nothing after it
    std::string why;
};

// Checks the chunks from `at` to `end`, the end of the list that holds them.
bool walk(Walk& w, std::uint64_t at, std::uint64_t end, int depth)
{
    while (!w.ended && at + 8 <= end) {
        if (++w.chunks > kMaxChunks) {
            w.why = "it has more than " + std::to_string(kMaxChunks) + " chunks";
            return false;
        }
        std::uint8_t head[12] = {};
        if (!w.read(at, std::span<std::uint8_t>(head, 8))) return true; // cut inside a header: the holder was checked
        const std::uint64_t size = le32(head + 4);
        const std::uint64_t body = at + 8;
        const std::uint64_t body_end = body + size;
        const bool list = is(head, "LIST") && size >= 4 && w.read(body, std::span<std::uint8_t>(head + 8, 4));
        // A large AVI file goes on in further RIFF chunks of frames ("AVIX").
        const bool media = is(head, "data") || is(head, "idx1") || is(head, "RIFF") || (list && is(head + 8, "movi"));
        if (media) {
            if (body_end > w.file_size) w.ended = true;
        } else if (body_end > end || body_end > w.file_size) {
            w.why = "its '" + name_of(list ? head + 8 : head) + "' chunk runs past the end of " +
                    (body_end > w.file_size ? "the file" : "the list that holds it");
            return false;
        } else if (list && depth < kMaxDepth && !walk(w, body + 4, body_end, depth + 1)) {
            return false;
        }
        at = body_end + (size & 1); // bodies are padded to an even length
    }
    return true;
}

} // namespace

bool check_riff_layout(std::uint64_t file_size, const ReadBytesAt& read, std::string& why)
{
    std::uint8_t head[12];
    if (file_size < 12 || !read(0, head) || !is(head, "RIFF") || !(is(head + 8, "WAVE") || is(head + 8, "AVI "))) {
        why = "not an AVI or WAVE file";
        return false;
    }
    // FFmpeg's readers go on reading chunks past the length the RIFF header states, to the end
    // of the file, so the walk does too.
    Walk w{file_size, read, 0, false, {}};
    if (walk(w, 12, file_size, 0)) return true;
    why = w.why;
    return false;
}

} // namespace zk
