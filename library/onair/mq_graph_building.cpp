// CMQFilterGraph: creating filters (optionally on a cardset), finding, connecting and
// disconnecting pins by name, handing files and inputs to filters, and the cardsets.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "onair/mq_filter_graph.h"
#include "onair/mq_graph_internal.h"
#include "platform/board/video_standard.h"

namespace {

// Names cross to the graph as wide strings of at most this many characters.
constexpr size_t kMaxWideName = 256;

void copy_text(char* to, size_t size, const std::string& from, size_t max_chars)
{
    const size_t n = std::min({from.size(), max_chars, size - 1});
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

std::string bstr_text(BSTR s, size_t max_bytes)
{
    std::string out = s ? zk::to_ansi(s, max_bytes) : std::string();
    SysFreeString(s);
    return out;
}

// Board names compare without regard to case, in ASCII (the names are the board's own).
bool same_name_any_case(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

struct BoardFlag {
    const char* name;
    DWORD flag;
};

constexpr BoardFlag kBoardFlags[] = {
    {"DigiSuiteLite", 0x00000001}, {"DigiMix", 0x00000002},       {"DigiMotion", 0x00000004},
    {"DigiLinx", 0x00000008},      {"DigiVid", 0x00000010},       {"DigiDesktop", 0x00000020},
    {"Genie", 0x00000040},         {"DigiSuiteDTV", 0x00000080},  {"DigiSuiteSDTI", 0x00000100},
    {"MarvelG400", 0x00000200},    {"MarvelPro", 0x00000400},     {"DigiSuiteMAX", 0x20000800},
    {"CG2000", 0x20001000},        {"RT2500", 0x20002000},
};

} // namespace

// ---- filters and pins ----

HRESULT CMQFilterGraph::CreateInstanceOnResource(REFCLSID clsid, REFIID iid, void** out, DWORD mrid)
{
    if (mrid == 0) return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC, iid, out);
    // The class must be registered at all before it is asked for its resource factory.
    zk::ComPtr<IClassFactory> plain;
    HRESULT hr = CoGetClassObject(clsid, CLSCTX_INPROC, nullptr, IID_IClassFactory, plain.put_void());
    if (FAILED(hr)) return hr;
    plain.reset();
    zk::ComPtr<IResourceFactory> factory;
    hr = CoGetClassObject(clsid, CLSCTX_INPROC, nullptr, IID_IResourceFactory, factory.put_void());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, iid, out, mrid);
}

HRESULT CMQFilterGraph::AddFilter(REFCLSID clsid, IBaseFilter** out, const char* name, DWORD mrid)
{
    if (out) *out = nullptr;
    if (!m_pGraphBuilder) return zk::fail("Could not instantiate filter", E_FAIL);
    if (mrid == 0 && m_dwSelectedCardset != MQFG_NO_CARDSET) {
        MQFG_CARDSET_INFO instance{};
        if (EnumFilterInstances(clsid, m_dwSelectedCardset, &instance, 1) > 0) mrid = instance.mrid;
    }
    zk::ComPtr<IBaseFilter> filter;
    HRESULT hr = CreateInstanceOnResource(clsid, IID_IBaseFilter, filter.put_void(), mrid);
    if (FAILED(hr)) return zk::fail("Could not instantiate filter", hr);
    const std::u16string wide = zk::to_wide(name, kMaxWideName);
    hr = m_pGraphBuilder->AddFilter(filter.get(), name ? wide.c_str() : nullptr);
    if (FAILED(hr)) return zk::fail("Could not add filter to filter graph", hr);
    if (out) *out = filter.detach();
    return S_OK;
}

HRESULT CMQFilterGraph::AddSourceFilter(const char* file, IBaseFilter** out)
{
    if (out) *out = nullptr;
    if (!m_pGraphBuilder || !file) return zk::fail("Could not add source filter to filter graph", m_pGraphBuilder ? E_POINTER : E_FAIL);
    const std::u16string wide = zk::to_wide(file, kMaxWideName);
    zk::ComPtr<IBaseFilter> filter;
    const HRESULT hr = m_pGraphBuilder->AddSourceFilter(wide.c_str(), wide.c_str(), filter.put());
    if (FAILED(hr)) return zk::fail("Could not add source filter to filter graph", hr);
    if (out) *out = filter.detach();
    return S_OK;
}

HRESULT CMQFilterGraph::RenderFile(const char* file)
{
    if (!m_pGraphBuilder || !file) return zk::fail("Could not render source file", m_pGraphBuilder ? E_POINTER : E_FAIL);
    const std::u16string wide = zk::to_wide(file, kMaxWideName);
    const HRESULT hr = m_pGraphBuilder->RenderFile(wide.c_str(), nullptr);
    if (FAILED(hr)) return zk::fail("Could not render source file", hr);
    return hr;
}

HRESULT CMQFilterGraph::RemoveFilter(IBaseFilter* filter)
{
    if (!filter) return S_OK;
    if (!m_pGraphBuilder) return zk::fail("Could not remove filter from filter graph", E_FAIL);
    const HRESULT hr = m_pGraphBuilder->RemoveFilter(filter);
    if (FAILED(hr)) return zk::fail("Could not remove filter from filter graph", hr);
    return hr;
}

IPin* CMQFilterGraph::FindPin(IBaseFilter* filter, const char* name, PIN_DIRECTION direction)
{
    if (!filter) return nullptr;
    zk::ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.put())) || !pins) return nullptr;
    IPin* p = nullptr;
    while (pins->Next(1, &p, nullptr) == S_OK) {
        zk::ComPtr<IPin> pin = zk::ComPtr<IPin>::attach(p);
        PIN_DIRECTION d;
        if (FAILED(pin->QueryDirection(&d)) || d != direction) continue;
        if (!name) return pin.detach();
        PIN_INFO info{};
        if (FAILED(pin->QueryPinInfo(&info))) continue;
        if (info.pFilter) info.pFilter->Release();
        info.achName[127] = 0;
        if (zk::to_ansi(info.achName, kMaxWideName) == name) return pin.detach();
    }
    return nullptr;
}

HRESULT CMQFilterGraph::ConnectPins(IBaseFilter* from, const char* outPin, IBaseFilter* to, const char* inPin,
                                    const AM_MEDIA_TYPE* mt)
{
    if (!from || !to) return zk::fail("ConnectPins called with NULL parameter", E_INVALIDARG);
    if (!m_pGraphBuilder) return zk::fail("Could not connect pins", E_FAIL);
    zk::ComPtr<IPin> out = zk::ComPtr<IPin>::attach(FindPin(from, outPin, PINDIR_OUTPUT));
    if (!out) return ZK_FAIL(E_FAIL);
    zk::ComPtr<IPin> in = zk::ComPtr<IPin>::attach(FindPin(to, inPin, PINDIR_INPUT));
    if (!in) return ZK_FAIL(E_FAIL);
    const HRESULT hr = m_pGraphBuilder->ConnectDirect(out.get(), in.get(), mt);
    if (FAILED(hr)) return zk::fail("Could not connect pins", hr);
    return hr;
}

HRESULT CMQFilterGraph::DisconnectPin(IBaseFilter* filter, const char* pin, PIN_DIRECTION direction)
{
    if (!filter) return S_OK;
    if (!m_pGraphBuilder) return zk::fail("Could not find specified filter pin", E_FAIL);
    zk::ComPtr<IPin> own = zk::ComPtr<IPin>::attach(FindPin(filter, pin, direction));
    if (!own) return zk::fail("Could not find specified filter pin", E_FAIL);
    zk::ComPtr<IPin> other;
    if (FAILED(own->ConnectedTo(other.put())) || !other) return S_OK;
    IPin* in = direction == PINDIR_INPUT ? own.get() : other.get();
    IPin* out = direction == PINDIR_INPUT ? other.get() : own.get();
    HRESULT hr = m_pGraphBuilder->Disconnect(in);
    if (FAILED(hr)) return zk::fail("Disconnect failed on input pin", hr);
    hr = m_pGraphBuilder->Disconnect(out);
    if (FAILED(hr)) return zk::fail("Disconnect failed on output pin", hr);
    return S_OK;
}

// ---- filter settings ----

namespace {

template <class I> zk::ComPtr<I> filter_interface(IBaseFilter* filter, HRESULT& hr)
{
    zk::ComPtr<I> out;
    hr = filter ? filter->QueryInterface(I::kIid, out.put_void()) : E_POINTER;
    return out;
}

} // namespace

HRESULT CMQFilterGraph::SetSourceFile(IBaseFilter* filter, const char* file)
{
    HRESULT hr;
    auto source = filter_interface<IFileSourceFilter>(filter, hr);
    if (!source) return zk::fail("Could not get IFileSourceFilter interface", FAILED(hr) ? hr : E_NOINTERFACE);
    hr = source->Load(zk::to_wide(file, kMaxWideName).c_str(), nullptr);
    if (FAILED(hr)) return zk::fail("Could not open source file", hr);
    return hr;
}

HRESULT CMQFilterGraph::SetSinkFile(IBaseFilter* filter, const char* file)
{
    HRESULT hr;
    auto sink = filter_interface<IFileSinkFilter>(filter, hr);
    if (!sink) return zk::fail("Could not get IFileSinkFilter interface", FAILED(hr) ? hr : E_NOINTERFACE);
    hr = sink->SetFileName(zk::to_wide(file, kMaxWideName).c_str(), nullptr);
    if (FAILED(hr)) return zk::fail("Could not open sink file", hr);
    return hr;
}

HRESULT CMQFilterGraph::SetMultiFileSink(IBaseFilter* filter, const char* file, DWORD w0, DWORD w1, DWORD w2, DWORD w3)
{
    HRESULT hr;
    auto sink = filter_interface<IMultiFileSinkFilter>(filter, hr);
    if (!sink) return zk::fail("Could not get IMultiFileSinkFilter interface", FAILED(hr) ? hr : E_NOINTERFACE);
    // An empty name closes the sink.
    const std::u16string wide = zk::to_wide(file, kMaxWideName);
    hr = sink->SetFileName(wide.empty() ? nullptr : wide.c_str(), w0, w1, w2, w3);
    if (FAILED(hr)) return zk::fail("Could not open sink file", hr);
    return hr;
}

HRESULT CMQFilterGraph::SetCompoundSourceFile(IBaseFilter* filter, const char* file, const char* subStorage)
{
    HRESULT hr;
    auto source = filter_interface<ICompoundFileSourceFilter>(filter, hr);
    if (!source) return zk::fail("Could not get ICompoundFileSourceFilter interface", FAILED(hr) ? hr : E_NOINTERFACE);
    hr = source->OpenFile(zk::to_wide(file, kMaxWideName).c_str());
    if (FAILED(hr)) return zk::fail("Could not open source compound file", hr);
    hr = source->OpenSubStorage(zk::to_wide(subStorage, kMaxWideName).c_str());
    if (FAILED(hr)) return zk::fail("Could not open sub-storage in compound file", hr);
    return hr;
}

HRESULT CMQFilterGraph::SetCutList(IBaseFilter* filter, const void* cutList, LONG count)
{
    HRESULT hr;
    auto source = filter_interface<ICutListSourceFilter>(filter, hr);
    if (!source) return zk::fail("Could not get ICutListSourceFilter interface", FAILED(hr) ? hr : E_NOINTERFACE);
    hr = source->SetCutList(cutList, count);
    if (FAILED(hr)) return zk::fail("Could not set cut-list on source filter", hr);
    return hr;
}

HRESULT CMQFilterGraph::SetVideoInput(IBaseFilter* filter, LONG input)
{
    HRESULT hr;
    auto video = filter_interface<IVideoInput>(filter, hr);
    if (!video) return zk::fail("Could not get IVideoInput interface", FAILED(hr) ? hr : E_NOINTERFACE);
    hr = video->SetInput(input);
    if (FAILED(hr)) return zk::fail("Could not set the video input on filter", hr);
    return hr;
}

int CMQFilterGraph::EnumVideoInputs(IBaseFilter* filter, MQFG_INPUT_INFO* out, int max)
{
    HRESULT hr;
    auto video = filter_interface<IVideoInput>(filter, hr);
    if (!video) return zk::fail("Could not get IVideoInput interface", FAILED(hr) ? hr : E_NOINTERFACE);
    if (!out || max <= 0) return 0;
    zk::ComPtr<IEnumVideoInputs> inputs;
    hr = video->EnumInputs(inputs.put());
    if (FAILED(hr) || !inputs) return zk::fail("Could not get IVideoInput interface", FAILED(hr) ? hr : E_FAIL);
    inputs->Reset();
    std::vector<VIDEO_INPUT_ENTRY*> entries(static_cast<size_t>(max), nullptr);
    ULONG fetched = 0;
    inputs->Next(static_cast<ULONG>(max), entries.data(), &fetched);
    fetched = std::min<ULONG>(fetched, static_cast<ULONG>(max));
    for (ULONG i = 0; i < fetched; ++i) {
        VIDEO_INPUT_ENTRY* e = entries[i];
        if (!e) continue;
        e->name[63] = 0;
        out[i].id = e->id;
        copy_text(out[i].name, sizeof out[i].name, zk::to_ansi(e->name, 127), 127);
        CoTaskMemFree(e);
    }
    return static_cast<int>(fetched);
}

// ---- cardsets ----

bool CMQFilterGraph::EnumeratorPresent()
{
    if (m_pMridEnumerator) return true;
    ReportError("The MRIDs enumerator is not present on this system", E_FAIL);
    return false;
}

DWORD CMQFilterGraph::GetBoardTypeFlag(const char* boardName)
{
    if (!boardName) return MQFG_BOARD_UNKNOWN;
    for (const BoardFlag& b : kBoardFlags) {
        if (same_name_any_case(boardName, b.name)) return b.flag;
    }
    return MQFG_BOARD_UNKNOWN;
}

int CMQFilterGraph::GetCardsetCount()
{
    if (!EnumeratorPresent()) return ZK_FAIL(E_FAIL);
    LONG count = 0;
    const HRESULT hr = m_pMridEnumerator->GetCardsetCount(&count);
    return FAILED(hr) ? ZK_FAIL(hr) : static_cast<int>(count);
}

DWORD CMQFilterGraph::GetCardsetMrid(int index)
{
    if (!EnumeratorPresent()) return MQFG_NO_CARDSET;
    DWORD mrid = MQFG_NO_CARDSET;
    if (FAILED(m_pMridEnumerator->GetCardsetMrid(index, &mrid))) return MQFG_NO_CARDSET;
    return mrid;
}

HRESULT CMQFilterGraph::GetCardsetName(DWORD mrid, char* text, int length)
{
    if (!EnumeratorPresent()) return ZK_FAIL(E_FAIL);
    if (!text || length <= 0) return zk::fail("Could not get cardset name", E_POINTER);
    BSTR name = nullptr;
    const HRESULT hr = m_pMridEnumerator->GetCardsetName(mrid, &name);
    if (FAILED(hr)) {
        text[0] = '\0';
        return zk::fail("Could not get cardset name", hr);
    }
    copy_text(text, static_cast<size_t>(length), bstr_text(name, static_cast<size_t>(length) - 1), static_cast<size_t>(length) - 1);
    return S_OK;
}

int CMQFilterGraph::EnumCardsets(MQFG_CARDSET_INFO* records, int max)
{
    if (!EnumeratorPresent()) return ZK_FAIL(E_FAIL);
    if (!records || max <= 0) return 0;
    LONG count = 0;
    HRESULT hr = m_pMridEnumerator->GetCardsetCount(&count);
    if (FAILED(hr)) return ZK_FAIL(hr);
    int filled = 0;
    for (LONG i = 0; i < count && filled < max; ++i) {
        MQFG_CARDSET_INFO& rec = records[filled];
        rec = MQFG_CARDSET_INFO{};
        if (FAILED(m_pMridEnumerator->GetCardsetMrid(i, &rec.mrid))) continue;
        BSTR name = nullptr;
        if (SUCCEEDED(m_pMridEnumerator->GetCardsetName(rec.mrid, &name)))
            copy_text(rec.name, sizeof rec.name, bstr_text(name, 127), 127);
        LONG boards = 0;
        m_pMridEnumerator->GetBoardCount(rec.mrid, &boards);
        rec.flags = 0;
        for (LONG b = 0; b < boards; ++b) {
            BSTR board = nullptr;
            if (FAILED(m_pMridEnumerator->GetBoardName(rec.mrid, b, &board))) continue;
            rec.flags |= GetBoardTypeFlag(bstr_text(board, 118).c_str());
        }
        ++filled;
    }
    return filled;
}

int CMQFilterGraph::GetCardsetVideoStandard(DWORD mrid)
{
    if (!EnumeratorPresent()) return 0;
    GUID g{};
    if (FAILED(m_pMridEnumerator->GetCardsetVideoStandard(mrid, &g))) return 0;
    return zk::standard_from_guid(g);
}

std::vector<DWORD> CMQFilterGraph::CardsetsHolding(REFCLSID clsid, HRESULT& hr)
{
    std::vector<DWORD> sets;
    hr = S_OK;
    if (!EnumeratorPresent()) {
        hr = E_FAIL;
        return sets;
    }
    DWORD instance, cardset;
    LONG board, number;
    for (LONG i = 0; m_pMridEnumerator->GetFilterInstance(clsid, i, &instance, &cardset, &board, &number) == S_OK; ++i) {
        if (std::find(sets.begin(), sets.end(), cardset) == sets.end()) sets.push_back(cardset);
    }
    return sets;
}

int CMQFilterGraph::EnumCardsetsForFilter(REFCLSID clsid)
{
    HRESULT hr;
    const auto sets = CardsetsHolding(clsid, hr);
    return FAILED(hr) ? ZK_FAIL(hr) : static_cast<int>(sets.size());
}

int CMQFilterGraph::FindCardsetsForFilters(const CLSID* clsids, int count, MQFG_CARDSET_INFO* records, int max)
{
    if (!EnumeratorPresent()) return ZK_FAIL(E_FAIL);
    if (!clsids || count <= 0 || !records || max <= 0) return 0;
    HRESULT hr;
    // Start from the cardsets of the first class; each further class marks the cardsets that
    // lack it with MQFG_NO_CARDSET, and the survivors are compacted at the end.
    std::vector<DWORD> kept = CardsetsHolding(clsids[0], hr);
    if (FAILED(hr)) return ZK_FAIL(hr);
    for (int c = 1; c < count; ++c) {
        const std::vector<DWORD> holding = CardsetsHolding(clsids[c], hr);
        for (DWORD& set : kept) {
            if (std::find(holding.begin(), holding.end(), set) == holding.end()) set = MQFG_NO_CARDSET;
        }
    }
    kept.erase(std::remove(kept.begin(), kept.end(), MQFG_NO_CARDSET), kept.end());

    // Fill the records from the cardset enumeration so names and flags come out as there.
    std::vector<MQFG_CARDSET_INFO> all(16);
    int n;
    for (;;) {
        n = EnumCardsets(all.data(), static_cast<int>(all.size()));
        if (n < static_cast<int>(all.size()) || all.size() >= 4096) break;
        all.resize(all.size() * 2);
    }
    int filled = 0;
    for (DWORD set : kept) {
        if (filled >= max) break;
        for (int i = 0; i < n; ++i) {
            if (all[static_cast<size_t>(i)].mrid == set) {
                records[filled++] = all[static_cast<size_t>(i)];
                break;
            }
        }
    }
    return filled;
}

int CMQFilterGraph::EnumFilterInstances(REFCLSID clsid, DWORD cardsetMrid, MQFG_CARDSET_INFO* records, int max)
{
    if (!EnumeratorPresent()) return ZK_FAIL(E_FAIL);
    if (!records || max <= 0) return 0;
    int filled = 0;
    DWORD instance, cardset;
    LONG board, number;
    for (LONG i = 0; filled < max &&
                     m_pMridEnumerator->GetFilterInstance(clsid, i, &instance, &cardset, &board, &number) == S_OK;
         ++i) {
        if (cardsetMrid != MQFG_NO_CARDSET && cardset != cardsetMrid) continue;
        MQFG_CARDSET_INFO& rec = records[filled++];
        rec = MQFG_CARDSET_INFO{};
        rec.mrid = instance;
        BSTR name = nullptr;
        if (SUCCEEDED(m_pMridEnumerator->GetBoardName(cardset, board, &name))) {
            const std::string board_name = bstr_text(name, 118);
            rec.flags = GetBoardTypeFlag(board_name.c_str());
            std::snprintf(rec.name, sizeof rec.name, "%s (%d)", board_name.c_str(), static_cast<int>(number));
        } else {
            rec.flags = MQFG_BOARD_UNKNOWN;
            std::snprintf(rec.name, sizeof rec.name, "<error>");
        }
    }
    return filled;
}

int CMQFilterGraph::FindCardsetIndex(REFCLSID clsid, DWORD cardsetMrid)
{
    if (!m_pMridEnumerator) return 0;
    DWORD instance, cardset;
    LONG board, number;
    for (LONG i = 0; m_pMridEnumerator->GetFilterInstance(clsid, i, &instance, &cardset, &board, &number) == S_OK; ++i) {
        if (cardset == cardsetMrid) return static_cast<int>(i);
    }
    return 0;
}

HRESULT CMQFilterGraph::SelectCardsetRecord(const MQFG_CARDSET_INFO* record)
{
    if (!record) return zk::fail("SelectCardsetRecord called with NULL parameter", E_POINTER);
    char name[sizeof record->name + 1];
    std::memcpy(name, record->name, sizeof record->name);
    name[sizeof record->name] = '\0'; // a record from outside may lack its terminator
    return SelectCardset(record->mrid, name, record->flags);
}

HRESULT CMQFilterGraph::SelectCardset(DWORD mrid, const char* name, DWORD flags)
{
    if (mrid == MQFG_NO_CARDSET) return ZK_FAIL(E_INVALIDARG);
    m_dwSelectedCardset = mrid;
    copy_text(m_szSelectedCardsetName, sizeof m_szSelectedCardsetName, name ? name : "", 118);
    m_dwSelectedCardsetType = flags;
    if (m_pMridEnumerator) {
        if (const int standard = GetCardsetVideoStandard(mrid)) m_nVideoStandard = standard;
    }
    return S_OK;
}

HRESULT CMQFilterGraph::GetSelectedCardset(MQFG_CARDSET_INFO* record)
{
    if (!record) return E_POINTER;
    *record = MQFG_CARDSET_INFO{};
    record->mrid = m_dwSelectedCardset;
    std::memcpy(record->name, m_szSelectedCardsetName, sizeof record->name);
    record->flags = m_dwSelectedCardsetType;
    return m_dwSelectedCardset == MQFG_NO_CARDSET ? S_FALSE : S_OK;
}

int CMQFilterGraph::SelectCardsetByType(DWORD* type, const DWORD* requested, const DWORD* acceptable, int strideBytes)
{
    if (!type || *type != MQFG_BOARD_UNKNOWN) return 1;
    if (requested && *requested != MQFG_BOARD_UNKNOWN) {
        *type = *requested;
        return 1;
    }
    if (m_dwSelectedCardset != MQFG_NO_CARDSET) {
        if (!m_pRefClock) SetupReferenceClock(nullptr);
        *type = m_dwSelectedCardsetType;
        return 1;
    }
    if (!acceptable) return 1;
    // A stride shorter than one mask would read the same mask forever.
    const size_t stride = strideBytes < static_cast<int>(sizeof(DWORD)) ? sizeof(DWORD) : static_cast<size_t>(strideBytes);
    MQFG_CARDSET_INFO sets[4];
    const int n = EnumCardsets(sets, 4);
    for (int i = 0; i < n; ++i) {
        for (const BYTE* p = reinterpret_cast<const BYTE*>(acceptable);; p += stride) {
            DWORD mask;
            std::memcpy(&mask, p, sizeof mask);
            if (mask == MQFG_BOARD_UNKNOWN) break;
            if ((sets[i].flags & mask) != mask) continue;
            SelectCardsetRecord(&sets[i]);
            if (!m_pRefClock) SetupReferenceClock(nullptr);
            if (const int standard = GetCardsetVideoStandard(sets[i].mrid)) SetVideoStandard(standard);
            *type = sets[i].flags;
            return 1;
        }
    }
    return 1;
}
