// The video-effects device: the option-word request and the register block the board watches.
#include "platform/board/vfx_device.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/board/board_memory.h"
#include "platform/board/virtual_board.h"

namespace zk {
namespace {

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// One register block per device name and board.
class EffectsRegisters : public std::enable_shared_from_this<EffectsRegisters> {
public:
    EffectsRegisters(std::weak_ptr<VirtualBoard> board, std::shared_ptr<TimeBase> time, std::string name)
        : board_(std::move(board)), time_(std::move(time)), name_(std::move(name)),
          token_(map_board_memory(registers_.data(), sizeof registers_))
    {
    }
    ~EffectsRegisters()
    {
        unmap_board_memory(token_);
        std::lock_guard<std::mutex> guard(lock_);
        if (tick_) time_->cancel(tick_);
    }

    std::uint32_t token() const { return token_; }

    void mapped()
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (maps_++ == 0) schedule_locked();
    }
    // A handle that had the block mapped was closed: what changed shows now.
    void unmapped()
    {
        auto board = board_.lock();
        std::lock_guard<std::mutex> guard(lock_);
        if (board) compare_locked(*board, board->current_field());
        if (--maps_ == 0 && tick_) {
            time_->cancel(tick_);
            tick_ = 0;
        }
    }

private:
    void schedule_locked()
    {
        auto board = board_.lock();
        if (!board) return;
        const long long next = board->field_at(time_->now()) + 1;
        const std::uint64_t generation = ++generation_;
        std::weak_ptr<EffectsRegisters> self = weak_from_this();
        // Ahead of the next field's interrupt, so a change is stamped with the field it was
        // made in, not with what the interrupt sets off.
        tick_ = time_->schedule_ahead(board->field_time(next), [self, next, generation] {
            if (auto registers = self.lock()) registers->field_ended(next - 1, generation);
        });
    }

    void field_ended(long long field, std::uint64_t generation)
    {
        auto board = board_.lock();
        std::lock_guard<std::mutex> guard(lock_);
        // A call already on its way when the block was unmapped (and maybe mapped again) is
        // not the current chain of ticks.
        if (generation != generation_) return;
        tick_ = 0;
        if (maps_ == 0 || !board) return;
        compare_locked(*board, field);
        schedule_locked();
    }

    void compare_locked(VirtualBoard& board, long long field)
    {
        for (int i = 0; i < kVfxRegisters; ++i) {
            const DWORD value = std::atomic_ref<DWORD>(registers_[static_cast<std::size_t>(i)]).load();
            DWORD& seen = seen_[static_cast<std::size_t>(i)];
            if (value == seen) continue;
            JournalEntry e;
            e.field = field;
            e.kind = JournalKind::Register;
            e.target = name_;
            e.code = static_cast<std::uint32_t>(i);
            e.bytes.resize(sizeof value);
            std::memcpy(e.bytes.data(), &value, sizeof value);
            char text[48];
            std::snprintf(text, sizeof text, "0x%X -> 0x%X", static_cast<unsigned>(seen), static_cast<unsigned>(value));
            e.text = text;
            board.journal().record(std::move(e));
            seen = value;
        }
    }

    std::weak_ptr<VirtualBoard> board_;
    std::shared_ptr<TimeBase> time_;
    std::string name_;
    alignas(16) std::array<DWORD, kVfxRegisters> registers_{}; // the host's: atomic_ref only
    std::uint32_t token_;
    std::mutex lock_;
    std::array<DWORD, kVfxRegisters> seen_{};
    int maps_ = 0;
    DWORD_PTR tick_ = 0;
    std::uint64_t generation_ = 0;
};

class EffectsDevice final : public VirtualDevice {
public:
    EffectsDevice(DWORD option_word, std::shared_ptr<EffectsRegisters> registers)
        : option_word_(option_word), registers_(std::move(registers))
    {
    }
    ~EffectsDevice() override
    {
        if (mapped_.load()) registers_->unmapped();
    }

    BOOL control(DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes, DWORD* bytesReturned,
                 OVERLAPPED*) override
    {
        switch (code) {
        case IOCTL_VFX_GET_PROM_OPTIONS: return options(in, inBytes, out, outBytes, bytesReturned);
        case IOCTL_VFX_MAP_REGISTERS: return map(out, outBytes, bytesReturned);
        default: return fail(ERROR_INVALID_FUNCTION);
        }
    }

private:
    BOOL options(const void* in, DWORD inBytes, void* out, DWORD outBytes, DWORD* bytesReturned) const
    {
        if (!in || !out || inBytes < kPromRequestBytes || outBytes < kPromRequestBytes)
            return fail(ERROR_INVALID_PARAMETER);
        DWORD words[kPromRequestBytes / 4];
        std::memcpy(words, in, sizeof words);
        if (words[0] != kPromRequestMagic) return fail(ERROR_INVALID_PARAMETER);
        words[9] = option_word_;
        std::memcpy(out, words, sizeof words);
        if (bytesReturned) *bytesReturned = kPromRequestBytes;
        return TRUE;
    }

    BOOL map(void* out, DWORD outBytes, DWORD* bytesReturned)
    {
        if (!out || outBytes < sizeof(VfxMapRecord)) return fail(ERROR_INSUFFICIENT_BUFFER);
        VfxMapRecord record;
        record.token = registers_->token();
        record.bytes = kVfxRegisters * sizeof(DWORD);
        record.registers = kVfxRegisters;
        std::memcpy(out, &record, sizeof record);
        if (bytesReturned) *bytesReturned = sizeof record;
        if (!mapped_.exchange(true)) registers_->mapped();
        return TRUE;
    }

    DWORD option_word_;
    std::shared_ptr<EffectsRegisters> registers_;
    std::atomic<bool> mapped_{false};
};

} // namespace

std::shared_ptr<VirtualDevice> open_effects_device(const std::shared_ptr<VirtualBoard>& board, const std::string& name,
                                                   DWORD option_word)
{
    if (!board) return nullptr;
    // The journal names the device as the board's configuration spells it.
    std::string spelled = name;
    for (const auto& [configured, word] : board->config().effects_devices) {
        if (device_name_key(configured) == device_name_key(name)) spelled = configured;
    }
    std::weak_ptr<VirtualBoard> weak = board;
    auto time = board->time_base();
    auto registers = board->device_state<EffectsRegisters>("vfx:" + device_name_key(name), [weak, time, spelled] {
        return std::make_shared<EffectsRegisters>(weak, time, spelled);
    });
    return std::make_shared<EffectsDevice>(option_word, std::move(registers));
}

} // namespace zk
