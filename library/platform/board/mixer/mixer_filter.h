// The mixer's filters: one class of COM object for every class of the catalogue, created by
// class identifier like the board's other DigiSuite filters and registered when the library
// loads.
//
// A unit filter takes a unit of the board's mixer model when it joins a graph and gives it
// back when it leaves; it offers IMixerUnit, and a Fiesta renderer also ITBCControl and
// ITransferDIB. A DirectData source offers IKeyframeControl and IDirectData and passes what
// it is sent to the unit input its output pin is connected to, found at the moment of the
// send (so a source rewired in a running graph reaches its new input at once).
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/board/digisuite_filter.h"
#include "platform/board/mixer/mixer_model.h"

namespace zk {

class VirtualBoard;

namespace mixer {

// Internal: how a DirectData source hands what it was sent to the filter at the other end of
// its connection. Offered by unit filters only.
struct IMixerInput : IUnknown {
    static constexpr GUID kIid = zk::make_guid("5A7E3C15-6B2D-4C1E-9A53-2F0D8E4B7C10");
    using Parent = IUnknown;
    virtual HRESULT DeliverRecord(const std::string& pin, const void* record, DWORD size) = 0;
    virtual HRESULT DeliverPacket(const std::string& pin, const void* packet, DWORD size) = 0;
    // "<unit>:<pin>", or "<family>:<pin>" while the filter drives no unit.
    virtual std::string InputName(const std::string& pin) = 0;
};

class MixerFilter final : public DigiSuiteFilter {
public:
    MixerFilter(const MixerClass& cls, DWORD mrid, std::shared_ptr<VirtualBoard> board);
    ~MixerFilter() override;

    HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;

    const MixerClass& mixer_class() const { return cls_; }
    int unit() const;

protected:
    void* query_extra(REFIID iid) override;

private:
    class Controls;
    const MixerClass& cls_;
    std::shared_ptr<VirtualBoard> board_;
    std::shared_ptr<MixerModel> model_;
    std::unique_ptr<Controls> controls_;
};

} // namespace mixer
} // namespace zk
