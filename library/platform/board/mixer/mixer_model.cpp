// The mixer model: unit claims, records and packets reaching units, the channels' time-base
// correctors and frame stores, each change journalled on the board.
#include "platform/board/mixer/mixer_model.h"

#include <cstdio>
#include <cstring>

#include "framebuffer/mtx_color.h"
#include "platform/board/board_memory.h"
#include "platform/board/virtual_board.h"

namespace zk::mixer {
namespace {

const UnitState kNoUnit{};

std::string display_name(LONG mode)
{
    return mode == DISPLAY_FIELD ? "field" : "frame";
}

bool channel_ok(int channel)
{
    return channel >= 0 && channel < kFiestaChannels;
}

// Whether a rectangle lies wholly inside a picture of w × h.
bool inside(LONG x, LONG y, LONG cw, LONG ch, LONG w, LONG h)
{
    return x >= 0 && y >= 0 && cw >= 1 && ch >= 1 && static_cast<long long>(x) + cw <= w &&
           static_cast<long long>(y) + ch <= h;
}

std::string transfer_text(const char* what, const MQ_TRANSFER_DIB& t, bool yuv)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s %ldx%ld from (%ld,%ld) to (%ld,%ld) %s", what, static_cast<long>(t.lCopyWidth),
                  static_cast<long>(t.lCopyHeight), static_cast<long>(t.lSrcX), static_cast<long>(t.lSrcY),
                  static_cast<long>(t.lDstX), static_cast<long>(t.lDstY), yuv ? "ayuv" : "rgb32");
    return text;
}

std::uint32_t pixel_from_ayuv(std::uint32_t word)
{
    return (yuv_to_pixel(word) & 0x00FFFFFFu) | (word & 0xFF000000u);
}

std::uint32_t ayuv_from_pixel(std::uint32_t pixel)
{
    MtxColor c;
    return c.ARGBtoYUV(pixel);
}

} // namespace

const UnitState& MixerState::unit(const std::string& name) const
{
    auto it = units.find(name);
    return it == units.end() ? kNoUnit : it->second;
}

const Crosspoint* MixerState::crosspoint(const std::string& unit, const std::string& pin) const
{
    auto it = crosspoints.find(unit + ":" + pin);
    return it == crosspoints.end() ? nullptr : &it->second;
}

std::array<const Crosspoint*, 3> MixerState::layers(int processor) const
{
    const std::string unit = "PriorityProcessor" + std::to_string(processor);
    return {crosspoint(unit, "Layer 1"), crosspoint(unit, "Layer 2"), crosspoint(unit, "Layer 3")};
}

MixerModel::MixerModel(VirtualBoard& board) : board_(board) {}

void MixerModel::log(JournalKind kind, const std::string& target, std::uint32_t code, const void* bytes, size_t size,
                     const std::string& text, bool ok)
{
    board_.log(kind, target, code, bytes, size, text, ok);
}

UnitState& MixerModel::unit_state_locked(const std::string& name)
{
    return state_.units[name];
}

// ---- units ----

HRESULT MixerModel::claim(const MixerClass& cls, const void* owner, int& unit)
{
    unit = -1;
    if (cls.units <= 0) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(lock_);
    auto& slots = owners_[cls.family];
    slots.resize(static_cast<size_t>(cls.units), nullptr);
    for (size_t i = 0; i < slots.size(); ++i) {
        if (slots[i] == owner) {
            unit = static_cast<int>(i);
            return S_OK;
        }
    }
    for (size_t i = 0; i < slots.size(); ++i) {
        if (slots[i]) continue;
        slots[i] = owner;
        unit = static_cast<int>(i);
        const std::string name = unit_name(cls, unit);
        unit_state_locked(name).present = true;
        log(JournalKind::StateChange, name, static_cast<std::uint32_t>(unit), nullptr, 0, "claimed", true);
        return S_OK;
    }
    log(JournalKind::StateChange, cls.family, 0, nullptr, 0, "no free unit", false);
    return MQ_E_NO_FREE_UNIT;
}

HRESULT MixerModel::move(const MixerClass& cls, const void* owner, int to)
{
    std::lock_guard<std::mutex> guard(lock_);
    auto& slots = owners_[cls.family];
    slots.resize(static_cast<size_t>(std::max(cls.units, 0)), nullptr);
    int from = -1;
    for (size_t i = 0; i < slots.size(); ++i) {
        if (slots[i] == owner) from = static_cast<int>(i);
    }
    if (from < 0) return VFW_E_NOT_IN_GRAPH;
    if (to == from) return S_OK;
    if (to < 0 || to >= cls.units || slots[static_cast<size_t>(to)]) return MQ_E_UNIT_IN_USE;
    slots[static_cast<size_t>(from)] = nullptr;
    slots[static_cast<size_t>(to)] = owner;
    unit_state_locked(unit_name(cls, from)).present = false;
    unit_state_locked(unit_name(cls, to)).present = true;
    log(JournalKind::StateChange, unit_name(cls, from), static_cast<std::uint32_t>(from), nullptr, 0, "released", true);
    log(JournalKind::StateChange, unit_name(cls, to), static_cast<std::uint32_t>(to), nullptr, 0, "claimed", true);
    return S_OK;
}

void MixerModel::release(const MixerClass& cls, const void* owner)
{
    std::lock_guard<std::mutex> guard(lock_);
    auto it = owners_.find(cls.family);
    if (it == owners_.end()) return;
    for (size_t i = 0; i < it->second.size(); ++i) {
        if (it->second[i] != owner) continue;
        it->second[i] = nullptr;
        const std::string name = unit_name(cls, static_cast<int>(i));
        unit_state_locked(name).present = false;
        log(JournalKind::StateChange, name, static_cast<std::uint32_t>(i), nullptr, 0, "released", true);
    }
}

int MixerModel::unit_of(const MixerClass& cls, const void* owner) const
{
    std::lock_guard<std::mutex> guard(lock_);
    auto it = owners_.find(cls.family);
    if (it == owners_.end()) return -1;
    for (size_t i = 0; i < it->second.size(); ++i) {
        if (it->second[i] == owner) return static_cast<int>(i);
    }
    return -1;
}

// ---- records and packets ----

void MixerModel::refuse(const std::string& target, std::uint32_t code, const std::string& reason)
{
    log(JournalKind::Keyframe, target, code, nullptr, 0, reason, false);
}

void MixerModel::note_state(const std::string& target, std::uint32_t code, const std::string& text)
{
    log(JournalKind::StateChange, target, code, nullptr, 0, text, true);
}

HRESULT MixerModel::receive_record(const MixerClass& cls, int unit, const MixerPin& pin, const void* record, DWORD size)
{
    const std::string name = unit_name(cls, unit);
    const std::string target = name + ":" + pin.name;
    if (pin.role != PinRole::Keyframe) {
        refuse(target, size, "not a keyframe input");
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const size_t wanted = record_size(pin.record);
    if (!record || size != wanted) {
        // A record of the wrong size is not read at all: its length is the sender's claim.
        char reason[96];
        std::snprintf(reason, sizeof reason, "%s record of %lu bytes refused: takes %zu", record_name(pin.record),
                      static_cast<unsigned long>(size), wanted);
        refuse(target, size, record ? reason : "null record");
        return record ? E_INVALIDARG : E_POINTER;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(record);
    std::lock_guard<std::mutex> guard(lock_);
    log(JournalKind::Keyframe, target, size, bytes, size, record_name(pin.record), true);
    RecordSlot& slot = unit_state_locked(name).records[static_cast<size_t>(pin.record)];
    slot.bytes.assign(bytes, bytes + size);
    slot.field = board_.current_field();
    return S_OK;
}

HRESULT MixerModel::receive_packet(const MixerClass& cls, int unit, const MixerPin& pin, const void* packet, DWORD size)
{
    const std::string name = unit_name(cls, unit);
    const std::string target = name + ":" + pin.name;
    if (!packet) {
        refuse(target, size, "null packet");
        return E_POINTER;
    }
    if (size != sizeof(MQ_DIRECTDATA_PACKET)) {
        refuse(target, size, "packet of the wrong size");
        return E_INVALIDARG;
    }
    MQ_DIRECTDATA_PACKET p;
    std::memcpy(&p, packet, sizeof p);
    const bool crosspoint = p.format == MQ_DATAFORMAT_HWCONN;
    const bool tbc = p.format == MQ_DATAFORMAT_TBC;
    if (!(p.type == MQ_DATATYPE_DIRECTDATA) || (!crosspoint && !tbc)) {
        refuse(target, size, "unknown packet type or format");
        return E_INVALIDARG;
    }
    if ((crosspoint && pin.role != PinRole::Video) || (tbc && pin.role != PinRole::Tbc)) {
        refuse(target, size, crosspoint ? "crosspoint packet for an input without one" : "TBC packet for an input without one");
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    // The payload is board memory the host mapped: resolved for exactly the size stated, and
    // only that size is accepted.
    const void* payload = p.dwPayloadSize == 8 ? board_memory(p.dwPayloadToken, 8) : nullptr;
    if (!payload) {
        refuse(target, size, p.dwPayloadSize == 8 ? "payload token does not resolve" : "payload size is not 8");
        return E_INVALIDARG;
    }
    DWORD words[2];
    std::memcpy(words, payload, sizeof words);
    if (tbc) {
        if (!channel_ok(unit)) return E_UNEXPECTED;
        if (words[1] > DISPLAY_FIELD) {
            refuse(target, size, "TBC packet with an unknown display mode");
            return E_INVALIDARG;
        }
        log(JournalKind::Keyframe, target, size, packet, size, "TBC packet", true);
        set_strobe_rate(unit, words[0]);
        return set_display_mode(unit, static_cast<LONG>(words[1]));
    }
    std::lock_guard<std::mutex> guard(lock_);
    char text[96];
    std::snprintf(text, sizeof text, "crosspoint %s input %lu", guid_to_string(p.source).c_str(),
                  static_cast<unsigned long>(words[1]));
    log(JournalKind::Keyframe, target, size, packet, size, text, true);
    Crosspoint& x = state_.crosspoints[target];
    x.source = p.source;
    x.word0 = words[0];
    x.index = words[1];
    x.field = board_.current_field();
    return S_OK;
}

// ---- time-base correctors ----

HRESULT MixerModel::set_strobe_rate(int channel, DWORD rate)
{
    if (!channel_ok(channel)) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(lock_);
    ChannelState& c = state_.channels[static_cast<size_t>(channel)];
    c.strobe_rate = rate;
    c.next_grab_frame = LLONG_MIN;
    log(JournalKind::StateChange, "Fiesta" + std::to_string(channel), rate, nullptr, 0,
        "strobe rate " + std::to_string(rate), true);
    return S_OK;
}

HRESULT MixerModel::set_display_mode(int channel, LONG mode)
{
    if (!channel_ok(channel)) return E_INVALIDARG;
    const std::string target = "Fiesta" + std::to_string(channel);
    if (mode != DISPLAY_FRAME && mode != DISPLAY_FIELD) {
        log(JournalKind::StateChange, target, static_cast<std::uint32_t>(mode), nullptr, 0, "unknown display mode", false);
        return E_INVALIDARG;
    }
    std::lock_guard<std::mutex> guard(lock_);
    state_.channels[static_cast<size_t>(channel)].display_mode = mode;
    log(JournalKind::StateChange, target, static_cast<std::uint32_t>(mode), nullptr, 0, "display " + display_name(mode),
        true);
    return S_OK;
}

void MixerModel::tbc(int channel, DWORD& rate, LONG& mode) const
{
    std::lock_guard<std::mutex> guard(lock_);
    const ChannelState& c = state_.channels[static_cast<size_t>(channel_ok(channel) ? channel : 0)];
    rate = c.strobe_rate;
    mode = c.display_mode;
}

// ---- stills ----

namespace {

// Checks a transfer against the host picture and the frame store; E_INVALIDARG when a
// rectangle leaves its picture or the host picture does not fit its buffer.
HRESULT check_transfer(const MQ_TRANSFER_DIB& t, bool put)
{
    if (t.dwSize != sizeof(MQ_TRANSFER_DIB) || t.lWidth < 1 || t.lHeight < 1) return E_INVALIDARG;
    const unsigned long long bytes = static_cast<unsigned long long>(t.lWidth) * static_cast<unsigned long long>(t.lHeight) * 4u;
    if (bytes > t.cbBuffer) return E_INVALIDARG;
    const LONG sw = put ? t.lWidth : kStoreWidth, sh = put ? t.lHeight : kStoreHeight;
    const LONG dw = put ? kStoreWidth : t.lWidth, dh = put ? kStoreHeight : t.lHeight;
    if (!inside(t.lSrcX, t.lSrcY, t.lCopyWidth, t.lCopyHeight, sw, sh)) return E_INVALIDARG;
    if (!inside(t.lDstX, t.lDstY, t.lCopyWidth, t.lCopyHeight, dw, dh)) return E_INVALIDARG;
    return S_OK;
}

} // namespace

HRESULT MixerModel::put_still(int channel, const MQ_TRANSFER_DIB& transfer, const void* pixels, bool yuv)
{
    const std::string target = "Fiesta" + std::to_string(channel);
    if (!channel_ok(channel)) return E_INVALIDARG;
    HRESULT hr = pixels ? check_transfer(transfer, true) : E_POINTER;
    if (FAILED(hr)) {
        log(JournalKind::Still, target, 0, &transfer, sizeof transfer, "put refused", false);
        return hr;
    }
    std::shared_ptr<const StillPicture> old;
    {
        std::lock_guard<std::mutex> guard(lock_);
        old = state_.channels[static_cast<size_t>(channel)].store;
    }
    // The new store is built outside the lock: a put replaces the picture whole, so readers
    // holding the old one are not disturbed.
    auto store = old ? std::make_shared<StillPicture>(*old) : std::make_shared<StillPicture>();
    const auto* src = static_cast<const std::uint32_t*>(pixels);
    for (LONG row = 0; row < transfer.lCopyHeight; ++row) {
        const std::uint32_t* from = src + static_cast<size_t>(transfer.lSrcY + row) * static_cast<size_t>(transfer.lWidth) +
                                    static_cast<size_t>(transfer.lSrcX);
        std::uint32_t* to = store->pixels.data() + static_cast<size_t>(transfer.lDstY + row) * kStoreWidth +
                            static_cast<size_t>(transfer.lDstX);
        if (yuv) {
            for (LONG x = 0; x < transfer.lCopyWidth; ++x) to[x] = pixel_from_ayuv(from[x]);
        } else {
            std::memcpy(to, from, static_cast<size_t>(transfer.lCopyWidth) * 4);
        }
    }
    std::lock_guard<std::mutex> guard(lock_);
    state_.channels[static_cast<size_t>(channel)].store = std::move(store);
    log(JournalKind::Still, target, 0, &transfer, sizeof transfer, transfer_text("put", transfer, yuv), true);
    return S_OK;
}

HRESULT MixerModel::get_still(int channel, const MQ_TRANSFER_DIB& transfer, void* pixels, bool yuv)
{
    const std::string target = "Fiesta" + std::to_string(channel);
    if (!channel_ok(channel)) return E_INVALIDARG;
    HRESULT hr = pixels ? check_transfer(transfer, false) : E_POINTER;
    if (FAILED(hr)) {
        log(JournalKind::Still, target, 1, &transfer, sizeof transfer, "get refused", false);
        return hr;
    }
    std::shared_ptr<const StillPicture> store;
    {
        std::lock_guard<std::mutex> guard(lock_);
        store = state_.channels[static_cast<size_t>(channel)].store;
        log(JournalKind::Still, target, 1, &transfer, sizeof transfer, transfer_text("get", transfer, yuv), true);
    }
    auto* dst = static_cast<std::uint32_t*>(pixels);
    for (LONG row = 0; row < transfer.lCopyHeight; ++row) {
        std::uint32_t* to = dst + static_cast<size_t>(transfer.lDstY + row) * static_cast<size_t>(transfer.lWidth) +
                            static_cast<size_t>(transfer.lDstX);
        const size_t at = static_cast<size_t>(transfer.lSrcY + row) * kStoreWidth + static_cast<size_t>(transfer.lSrcX);
        for (LONG x = 0; x < transfer.lCopyWidth; ++x) {
            const std::uint32_t p = store ? store->pixels[at + static_cast<size_t>(x)] : 0u;
            to[x] = yuv ? ayuv_from_pixel(p) : p;
        }
    }
    return S_OK;
}

void MixerModel::set_live_input(int channel, std::shared_ptr<const StillPicture> picture)
{
    if (!channel_ok(channel)) return;
    std::lock_guard<std::mutex> guard(lock_);
    state_.channels[static_cast<size_t>(channel)].live_input = std::move(picture);
}

// ---- snapshots ----

MixerState MixerModel::state() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return state_;
}

void MixerModel::set_field_hook(FieldHook hook)
{
    auto shared = hook ? std::make_shared<const FieldHook>(std::move(hook)) : nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    hook_ = std::move(shared);
}

MixerState MixerModel::state_for_field(long long field)
{
    std::shared_ptr<const FieldHook> hook;
    {
        std::lock_guard<std::mutex> guard(lock_);
        hook = hook_;
    }
    if (hook) (*hook)(field);
    std::lock_guard<std::mutex> guard(lock_);
    const long long frame = field >= 0 ? field / 2 : (field - 1) / 2;
    for (ChannelState& c : state_.channels) {
        if (c.strobe_rate == 0 || !c.live_input || frame < c.next_grab_frame) continue;
        c.store = c.live_input;
        const long long n = c.strobe_rate;
        const long long period = frame >= 0 ? frame / n : (frame - n + 1) / n;
        c.next_grab_frame = (period + 1) * n;
    }
    return state_;
}

std::shared_ptr<MixerModel> mixer_model(VirtualBoard& board)
{
    return board.device_state<MixerModel>("DigiMix mixer", [&board] { return std::make_shared<MixerModel>(board); });
}

} // namespace zk::mixer
