// The graphics frame-buffer device: its memory, the map, display and blit requests.
#include "platform/board/gfb_device.h"

#include <algorithm>
#include <cstring>

#include "platform/board/board_memory.h"
#include "platform/board/output_stage.h"
#include "platform/board/virtual_board.h"

namespace zk {
namespace {

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

class GraphicsDevice final : public VirtualDevice {
public:
    explicit GraphicsDevice(std::shared_ptr<GraphicsMemory> memory) : memory_(std::move(memory)) {}

    BOOL control(DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes, DWORD* returned,
                 OVERLAPPED*) override
    {
        switch (code) {
        case IOCTL_GFB_MAP: return map(out, outBytes, returned);
        case IOCTL_GFB_DISPLAY: return display(in, inBytes, out, outBytes, returned);
        case IOCTL_GFB_BLIT: return blit(in, inBytes, out, outBytes, returned);
        default: return fail(ERROR_INVALID_FUNCTION);
        }
    }

private:
    BOOL map(void* out, DWORD outBytes, DWORD* returned)
    {
        if (!out || outBytes < sizeof(GfbMapRecord)) return fail(ERROR_INSUFFICIENT_BUFFER);
        GfbMapRecord record;
        record.token = memory_->token;
        record.bytes = static_cast<std::uint32_t>(kGfbBytes);
        record.pitch_bytes = kGfbPitch * 4;
        record.lines = kGfbLines;
        record.display_line = static_cast<std::uint32_t>(memory_->display_line.load());
        std::memcpy(out, &record, sizeof record);
        if (returned) *returned = sizeof record;
        return TRUE;
    }

    BOOL display(const void* in, DWORD inBytes, void* out, DWORD outBytes, DWORD* returned)
    {
        std::int32_t line = 0;
        if (!in || inBytes < sizeof line) return fail(ERROR_INVALID_PARAMETER);
        std::memcpy(&line, in, sizeof line);
        if (line < 0 || line > kGfbMaxDisplayLine) return fail(ERROR_INVALID_PARAMETER);
        if (out && outBytes < sizeof(std::uint32_t)) return fail(ERROR_INSUFFICIENT_BUFFER);
        memory_->display_line.store(line);
        if (out) {
            std::memcpy(out, &memory_->token, sizeof memory_->token);
            if (returned) *returned = sizeof memory_->token;
        }
        return TRUE;
    }

    BOOL blit(const void* in, DWORD inBytes, void* out, DWORD outBytes, DWORD* returned)
    {
        GfbBlitRequest request;
        if (!in || inBytes < sizeof request) return fail(ERROR_INVALID_PARAMETER);
        if (out && outBytes < sizeof request) return fail(ERROR_INSUFFICIENT_BUFFER);
        std::memcpy(&request, in, sizeof request);
        BlitResult result;
        {
            std::lock_guard<std::mutex> guard(*memory_->lock);
            result = blit_frame_buffer(memory_->pixels, kGfbPitch, kGfbLines, request);
        }
        if (result == BlitResult::refused) return fail(ERROR_INVALID_PARAMETER);
        if (out) {
            std::memcpy(out, &request, sizeof request);
            if (returned) *returned = sizeof request;
        }
        return TRUE;
    }

    std::shared_ptr<GraphicsMemory> memory_;
};

} // namespace

BlitResult blit_frame_buffer(std::span<std::uint32_t> memory, int pitch, int lines, const GfbBlitRequest& r)
{
    if (pitch <= 0 || lines <= 0 || memory.size() < static_cast<std::size_t>(pitch) * static_cast<std::size_t>(lines))
        return BlitResult::refused;
    // 64-bit arithmetic: the words come from the host and may be anything.
    const long long left = r.left, right = r.right, top = r.top, bottom = r.bottom;
    const long long down = 2LL * r.vshift, across = r.hshift;
    if (right < left || bottom < top) return BlitResult::refused;
    if (right == left || bottom == top) return BlitResult::empty;

    // Columns read and written both inside a line.
    const long long x0 = std::max({left, 0LL, -across});
    const long long x1 = std::min({right, static_cast<long long>(pitch), pitch - across});
    // Lines read and written both inside the memory, keeping the parity of `top`.
    const long long low = std::max(0LL, -down);
    const long long high = std::min(static_cast<long long>(lines), lines - down);
    long long y0 = top;
    if (y0 < low) y0 = low + ((low - top) & 1);
    const long long y1 = std::min(bottom, high);
    if (x0 >= x1 || y0 >= y1) return BlitResult::refused;

    const auto width = static_cast<std::size_t>(x1 - x0);
    const long long count = (y1 - y0 + 1) / 2;
    auto copy_line = [&](long long y) {
        std::uint32_t* base = memory.data();
        const std::uint32_t* from = base + y * pitch + x0;
        std::uint32_t* to = base + (y + down) * pitch + x0 + across;
        std::memmove(to, from, width * sizeof(std::uint32_t));
    };
    // Lines moving down are copied bottom first, lines moving up top first, so that no line is
    // overwritten before it has been read; memmove takes care of a line moving along itself.
    if (down > 0) {
        for (long long i = count - 1; i >= 0; --i) copy_line(y0 + 2 * i);
    } else {
        for (long long i = 0; i < count; ++i) copy_line(y0 + 2 * i);
    }
    return BlitResult::copied;
}

GraphicsMemory::GraphicsMemory() : pixels(std::size_t{kGfbPitch} * kGfbLines, 0u)
{
    token = map_board_memory(pixels.data(), kGfbBytes, lock);
}

GraphicsMemory::~GraphicsMemory()
{
    unmap_board_memory(token);
}

std::shared_ptr<GraphicsMemory> graphics_memory(VirtualBoard& board, const std::string& name)
{
    const auto& devices = board.config().graphics_devices;
    if (devices.empty()) return nullptr;
    const std::string key = device_name_key(name.empty() ? devices.front() : name);
    if (!board.has_graphics_device(key)) return nullptr;
    return board.device_state<GraphicsMemory>("gfb:" + key, [] { return std::make_shared<GraphicsMemory>(); });
}

std::shared_ptr<VirtualDevice> open_graphics_device(const std::shared_ptr<VirtualBoard>& board, const std::string& name)
{
    if (!board) return nullptr;
    auto memory = graphics_memory(*board, name);
    if (!memory) return nullptr;
    // The board starts showing what it puts to air once something drives its graphics: a
    // recording asked for by the environment starts then.
    output_stage(board).start_from_environment();
    return std::make_shared<GraphicsDevice>(std::move(memory));
}

} // namespace zk
