// The DigiSuite reference clock: the board's time base, and the video standard of the cardset
// the clock was created on through the extended clock interface.
#include "platform/board/virtual_board.h"

namespace zk {
namespace {

class DigiSuiteClock final : public ReferenceClockT<IExtendedClock> {
public:
    DigiSuiteClock(std::shared_ptr<VirtualBoard> board, DWORD mrid)
        : ReferenceClockT<IExtendedClock>(board->time_base()), board_(std::move(board)), mrid_(mrid)
    {
    }

    HRESULT GetVideoStandard(GUID* standard) override
    {
        if (!standard) return E_POINTER;
        *standard = guid_from_standard(board_->standard_for(mrid_));
        return S_OK;
    }

protected:
    bool offers(REFIID iid) const override
    {
        return iid != IExtendedClock::kIid || board_->config().extended_clock;
    }

private:
    std::shared_ptr<VirtualBoard> board_;
    DWORD mrid_;
};

const ClassRegistrar clock_class(CLSID_DigiSuiteReferenceClock, [](REFIID iid, void** object, DWORD mrid) {
    auto board = current_board();
    if (!board->resource_known(mrid)) {
        if (object) *object = nullptr;
        return E_INVALIDARG;
    }
    return create_object<DigiSuiteClock>(iid, object, std::move(board), mrid);
});

} // namespace
} // namespace zk
