// The SDTI control device: settings read through a token from the host's memory.
#include "platform/board/sdti_device.h"

#include <cstdio>
#include <cstring>

#include "platform/board/board_memory.h"
#include "platform/board/virtual_board.h"

namespace zk {
namespace {

class SdtiDevice final : public VirtualDevice {
public:
    SdtiDevice(std::weak_ptr<VirtualBoard> board, std::string name) : board_(std::move(board)), name_(std::move(name)) {}

    BOOL control(DWORD code, const void* in, DWORD inBytes, void*, DWORD, DWORD* returned, OVERLAPPED*) override
    {
        if (code != IOCTL_SDTI_CONTROL) return fail(ERROR_INVALID_FUNCTION);
        SdtiRequest request;
        if (!in || inBytes < sizeof request) return fail(ERROR_INVALID_PARAMETER);
        std::memcpy(&request, in, sizeof request);
        if (request.command != kSdtiSetCommand) return fail(ERROR_INVALID_PARAMETER);
        std::uint32_t words[3];
        const void* memory = board_memory(request.token, sizeof words);
        if (!memory) return fail(ERROR_INVALID_PARAMETER);
        std::memcpy(words, memory, sizeof words);
        if (auto board = board_.lock()) {
            char text[64];
            std::snprintf(text, sizeof text, "setting %u channel %u = %u", words[0], words[1], words[2]);
            board->log(JournalKind::Register, name_, words[0], words, sizeof words, text);
        }
        if (returned) *returned = 0;
        return TRUE;
    }

private:
    static BOOL fail(DWORD error)
    {
        SetLastError(error);
        return FALSE;
    }

    std::weak_ptr<VirtualBoard> board_;
    std::string name_;
};

} // namespace

std::shared_ptr<VirtualDevice> open_sdti_device(const std::shared_ptr<VirtualBoard>& board, const std::string& name)
{
    if (!board || !board->has_sdti_device(name)) return nullptr;
    std::string spelled = name;
    for (const std::string& configured : board->config().sdti_devices) {
        if (device_name_key(configured) == device_name_key(name)) spelled = configured;
    }
    return std::make_shared<SdtiDevice>(board, spelled);
}

} // namespace zk
