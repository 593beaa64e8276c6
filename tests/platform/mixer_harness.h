// A mixer on a board of its own for the mixer tests: a filter graph to add the mixer's filters
// to by class, keyframe sources and hardware connections wired to named unit inputs, DirectData
// packets with their payload in board memory, and the journal entries since a mark.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/board/board_memory.h"
#include "platform/board/mixer/mixer_filter.h"
#include "platform/board/mixer/mixer_interfaces.h"
#include "platform/board/mixer/mixer_model.h"
#include "platform/com/class_registry.h"
#include "platform/testing/board.h"

namespace zt {

// A pin of a filter by name and direction (bus controls have inputs and outputs of one name).
inline zk::ComPtr<IPin> pin_of(IBaseFilter* filter, const std::string& name, PIN_DIRECTION direction)
{
    zk::ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.put()))) return nullptr;
    IPin* p = nullptr;
    while (pins->Next(1, &p, nullptr) == S_OK) {
        zk::ComPtr<IPin> pin = zk::ComPtr<IPin>::attach(p);
        PIN_INFO info{};
        if (FAILED(pin->QueryPinInfo(&info))) continue;
        if (info.pFilter) info.pFilter->Release();
        info.achName[127] = 0;
        if (info.dir == direction && (name.empty() || zk::to_ansi(info.achName) == name)) return pin;
    }
    return nullptr;
}

// A DirectData packet whose 8-byte payload lives in board memory for the packet's lifetime.
class Packet {
public:
    Packet(const GUID& source, DWORD word0, DWORD word1, const GUID& format = MQ_DATAFORMAT_HWCONN)
    {
        payload_[0] = word0;
        payload_[1] = word1;
        token_ = zk::map_board_memory(payload_, sizeof payload_);
        packet.type = MQ_DATATYPE_DIRECTDATA;
        packet.source = source;
        packet.dwWord32 = 1;
        packet.format = format;
        packet.dwPayloadSize = 8;
        packet.dwPayloadToken = token_;
    }
    ~Packet() { zk::unmap_board_memory(token_); }
    Packet(const Packet&) = delete;
    Packet& operator=(const Packet&) = delete;

    MQ_DIRECTDATA_PACKET packet{};

private:
    DWORD payload_[2];
    std::uint32_t token_ = 0;
};

class MixerBench {
public:
    MixerBench() : override_(zk::manual_board_config())
    {
        CoInitialize(nullptr);
        EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder, graph_.put_void()), S_OK);
    }
    ~MixerBench()
    {
        graph_.reset();
        CoUninitialize();
    }

    zk::VirtualBoard& board() { return override_.board(); }
    zk::mixer::MixerModel& model() { return *zk::mixer::mixer_model(board()); }
    IGraphBuilder* graph() { return graph_.get(); }

    zk::ComPtr<IBaseFilter> add(REFCLSID clsid, HRESULT* result = nullptr)
    {
        zk::ComPtr<IBaseFilter> f;
        HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC, IID_IBaseFilter, f.put_void());
        if (SUCCEEDED(hr)) hr = graph_->AddFilter(f.get(), nullptr);
        if (result) {
            *result = hr;
        } else {
            EXPECT_TRUE(SUCCEEDED(hr)) << "adding " << zk::guid_to_string(clsid) << ": 0x" << std::hex << hr;
        }
        return SUCCEEDED(hr) ? f : nullptr;
    }
    void remove(IBaseFilter* f) { EXPECT_EQ(graph_->RemoveFilter(f), S_OK); }

    // Connects an output (the first when `out` is empty) to a named input.
    HRESULT connect(IBaseFilter* from, const std::string& out, IBaseFilter* to, const std::string& in)
    {
        zk::ComPtr<IPin> o = pin_of(from, out, PINDIR_OUTPUT);
        zk::ComPtr<IPin> i = pin_of(to, in, PINDIR_INPUT);
        if (!o || !i) return E_FAIL;
        return graph_->ConnectDirect(o.get(), i.get(), nullptr);
    }

    // A DirectData source connected to `pin` of `unit`, its data begun.
    zk::ComPtr<IKeyframeControl> keyframes_to(IBaseFilter* unit, const std::string& pin, bool begin = true)
    {
        zk::ComPtr<IBaseFilter> source = add(CLSID_DirectDataSource);
        EXPECT_EQ(connect(source.get(), "", unit, pin), S_OK) << pin;
        zk::ComPtr<IKeyframeControl> control = source.as<IKeyframeControl>();
        if (control && begin) {
            EXPECT_EQ(control->BeginData(), S_OK);
        }
        return control;
    }
    zk::ComPtr<IDirectData> connection_to(IBaseFilter* unit, const std::string& pin)
    {
        zk::ComPtr<IBaseFilter> source = add(CLSID_DirectDataSource);
        EXPECT_EQ(connect(source.get(), "", unit, pin), S_OK) << pin;
        return source.as<IDirectData>();
    }

    std::uint64_t mark() { return board().journal().mark(); }
    std::vector<zk::JournalEntry> journal(zk::JournalKind kind, std::uint64_t since)
    {
        return board().journal().where([&](const zk::JournalEntry& e) { return e.seq >= since && e.kind == kind; });
    }

private:
    zk::BoardOverride override_;
    zk::ComPtr<IGraphBuilder> graph_;
};

template <class Record> std::vector<std::uint8_t> bytes_of(const Record& r)
{
    std::vector<std::uint8_t> out(sizeof r);
    std::memcpy(out.data(), &r, sizeof r);
    return out;
}

inline std::vector<std::uint8_t> words(std::initializer_list<std::uint32_t> list)
{
    std::vector<std::uint8_t> out;
    for (std::uint32_t w : list) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
    }
    return out;
}

} // namespace zt
