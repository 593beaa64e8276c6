// The board's MRID enumerator and event monitor, created by class identifier.
#include "platform/board/virtual_board.h"

namespace zk {
namespace {

class MridEnumerator final : public ComObject<IMridEnumerator> {
public:
    explicit MridEnumerator(std::shared_ptr<VirtualBoard> board) : board_(std::move(board)) {}

    HRESULT GetCardsetCount(LONG* count) override
    {
        if (!count) return E_POINTER;
        *count = static_cast<LONG>(sets().size());
        return S_OK;
    }
    HRESULT GetCardsetMrid(LONG index, DWORD* mrid) override
    {
        if (!mrid) return E_POINTER;
        if (index < 0 || static_cast<size_t>(index) >= sets().size()) return E_INVALIDARG;
        *mrid = sets()[static_cast<size_t>(index)].mrid;
        return S_OK;
    }
    HRESULT GetCardsetName(DWORD cardsetMrid, BSTR* name) override
    {
        if (!name) return E_POINTER;
        *name = nullptr;
        const BoardCardset* set = find(cardsetMrid);
        if (!set) return E_INVALIDARG;
        return bstr(set->name, name);
    }
    HRESULT GetCardsetVideoStandard(DWORD cardsetMrid, GUID* standard) override
    {
        if (!standard) return E_POINTER;
        const BoardCardset* set = find(cardsetMrid);
        if (!set) return E_INVALIDARG;
        *standard = guid_from_standard(set->standard);
        return S_OK;
    }
    HRESULT GetBoardCount(DWORD cardsetMrid, LONG* count) override
    {
        if (!count) return E_POINTER;
        const BoardCardset* set = find(cardsetMrid);
        if (!set) return E_INVALIDARG;
        *count = static_cast<LONG>(set->boards.size());
        return S_OK;
    }
    HRESULT GetBoardName(DWORD cardsetMrid, LONG board, BSTR* name) override
    {
        if (!name) return E_POINTER;
        *name = nullptr;
        const BoardCardset* set = find(cardsetMrid);
        if (!set || board < 0 || static_cast<size_t>(board) >= set->boards.size()) return E_INVALIDARG;
        const std::string& n = set->boards[static_cast<size_t>(board)];
        if (n.empty()) return E_FAIL; // a board whose name the driver cannot give
        return bstr(n, name);
    }
    HRESULT GetFilterInstance(REFCLSID clsid, LONG index, DWORD* instanceMrid, DWORD* cardsetMrid, LONG* board,
                              LONG* number) override
    {
        if (!instanceMrid || !cardsetMrid || !board || !number) return E_POINTER;
        if (index < 0) return E_INVALIDARG;
        LONG seen = 0;
        for (const BoardCardset& set : sets()) {
            for (const BoardFilterInstance& inst : set.instances) {
                if (!(inst.clsid == clsid)) continue;
                if (seen++ == index) {
                    *instanceMrid = inst.mrid;
                    *cardsetMrid = set.mrid;
                    *board = inst.board;
                    *number = inst.number;
                    return S_OK;
                }
            }
        }
        return S_FALSE;
    }

private:
    const std::vector<BoardCardset>& sets() const { return board_->config().cardsets; }
    const BoardCardset* find(DWORD mrid) const
    {
        for (const BoardCardset& set : sets()) {
            if (set.mrid == mrid) return &set;
        }
        return nullptr;
    }
    static HRESULT bstr(const std::string& text, BSTR* out)
    {
        const std::u16string w = to_wide(text.c_str());
        *out = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    std::shared_ptr<VirtualBoard> board_;
};

class EventMonitor final : public ComObject<IEventMonitor> {
public:
    explicit EventMonitor(std::shared_ptr<VirtualBoard> board) : board_(std::move(board)) {}

    HRESULT Register(LPCOLESTR clientName, DWORD* cookie) override
    {
        if (!cookie) return E_POINTER;
        *cookie = board_->monitor_register(to_ansi(clientName));
        return S_OK;
    }
    HRESULT Unregister(DWORD cookie) override { return board_->monitor_unregister(cookie) ? S_OK : E_INVALIDARG; }
    HRESULT NotifyEvent(LONG code, LONG_PTR, DWORD cookie) override
    {
        return board_->monitor_event(cookie, code) ? S_OK : E_INVALIDARG;
    }

private:
    std::shared_ptr<VirtualBoard> board_;
};

// A service the board lacks answers as an unregistered class would.
const ClassRegistrar enumerator_class(CLSID_MridEnumerator, [](REFIID iid, void** object, DWORD) {
    auto board = current_board();
    if (!board->config().mrid_enumerator) {
        if (object) *object = nullptr;
        return REGDB_E_CLASSNOTREG;
    }
    return create_object<MridEnumerator>(iid, object, std::move(board));
});

const ClassRegistrar monitor_class(
    CLSID_EventMonitor,
    [](REFIID iid, void** object, DWORD) {
        auto board = current_board();
        if (!board->config().event_monitor) {
            if (object) *object = nullptr;
            return REGDB_E_CLASSNOTREG;
        }
        return create_object<EventMonitor>(iid, object, std::move(board));
    },
    CLSCTX_LOCAL_SERVER);

} // namespace
} // namespace zk
