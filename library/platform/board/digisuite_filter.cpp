// The DigiSuite filter interfaces for files, cut-lists and video inputs, and the board's file
// source class.
#include "platform/board/digisuite_filter.h"

#include <cstring>
#include <mutex>

namespace zk {
namespace {

class VideoInputEnum final : public ComObject<IEnumVideoInputs> {
public:
    explicit VideoInputEnum(std::vector<std::pair<LONG, std::string>> inputs) : inputs_(std::move(inputs)) {}
    HRESULT Next(ULONG count, VIDEO_INPUT_ENTRY** entries, ULONG* fetched) override
    {
        if (!entries) return E_POINTER;
        ULONG n = 0;
        while (n < count && at_ < inputs_.size()) {
            auto* e = static_cast<VIDEO_INPUT_ENTRY*>(CoTaskMemAlloc(sizeof(VIDEO_INPUT_ENTRY)));
            if (!e) break;
            e->id = inputs_[at_].first;
            const std::u16string name = to_wide(inputs_[at_].second.c_str(), 63);
            std::memcpy(e->name, name.c_str(), (name.size() + 1) * sizeof(OLECHAR));
            entries[n++] = e;
            ++at_;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        at_ = 0;
        return S_OK;
    }

private:
    std::vector<std::pair<LONG, std::string>> inputs_;
    size_t at_ = 0;
};

} // namespace

// The extra interfaces live in one inner object that shares the filter's reference count.
class DigiSuiteFilter::Extras final : public IMultiFileSinkFilter,
                                      public ICompoundFileSourceFilter,
                                      public ICutListSourceFilter,
                                      public IVideoInput {
public:
    explicit Extras(DigiSuiteFilter& outer) : outer_(outer)
    {
        if (!outer.desc_.video_inputs.empty()) input_ = outer.desc_.video_inputs.front().first;
    }

    HRESULT QueryInterface(REFIID iid, void** object) override { return outer_.QueryInterface(iid, object); }
    ULONG AddRef() override { return outer_.AddRef(); }
    ULONG Release() override { return outer_.Release(); }

    HRESULT SetFileName(LPCOLESTR file, DWORD w0, DWORD w1, DWORD w2, DWORD w3) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        sink_file_ = file ? to_ansi(file) : std::string();
        words_[0] = w0;
        words_[1] = w1;
        words_[2] = w2;
        words_[3] = w3;
        return S_OK;
    }
    HRESULT OpenFile(LPCOLESTR file) override
    {
        if (!file) return E_POINTER;
        std::lock_guard<std::mutex> guard(lock_);
        compound_ = to_ansi(file);
        sub_.clear();
        return S_OK;
    }
    HRESULT OpenSubStorage(LPCOLESTR name) override
    {
        if (!name) return E_POINTER;
        std::lock_guard<std::mutex> guard(lock_);
        if (compound_.empty()) return VFW_E_WRONG_STATE;
        sub_ = to_ansi(name);
        return S_OK;
    }
    HRESULT SetCutList(const void* cutList, LONG count) override
    {
        if (count < 0 || (count > 0 && !cutList)) return E_INVALIDARG;
        std::lock_guard<std::mutex> guard(lock_);
        cut_list_ = cutList;
        cut_count_ = count;
        return S_OK;
    }
    HRESULT SetInput(LONG input) override
    {
        for (const auto& [id, name] : outer_.desc_.video_inputs) {
            if (id == input) {
                std::lock_guard<std::mutex> guard(lock_);
                input_ = input;
                return S_OK;
            }
        }
        return E_INVALIDARG;
    }
    HRESULT GetInput(LONG* input) override
    {
        if (!input) return E_POINTER;
        std::lock_guard<std::mutex> guard(lock_);
        *input = input_;
        return S_OK;
    }
    HRESULT EnumInputs(IEnumVideoInputs** inputs) override
    {
        if (!inputs) return E_POINTER;
        return create_object<VideoInputEnum>(IEnumVideoInputs::kIid, reinterpret_cast<void**>(inputs),
                                             outer_.desc_.video_inputs);
    }

    DigiSuiteFilter& outer_;
    mutable std::mutex lock_;
    std::string sink_file_, compound_, sub_;
    DWORD words_[4] = {};
    const void* cut_list_ = nullptr;
    LONG cut_count_ = 0;
    LONG input_ = -1;
};

DigiSuiteFilter::DigiSuiteFilter(DigiSuiteFilterDesc desc, DWORD mrid)
    : VirtualFilter(desc.base, mrid), desc_(std::move(desc)), extras_(std::make_unique<Extras>(*this))
{
}

DigiSuiteFilter::~DigiSuiteFilter() = default;

void* DigiSuiteFilter::query_extra(REFIID iid)
{
    if (iid == IMultiFileSinkFilter::kIid && desc_.multi_file_sink) return static_cast<IMultiFileSinkFilter*>(extras_.get());
    if (iid == ICompoundFileSourceFilter::kIid && desc_.compound_source)
        return static_cast<ICompoundFileSourceFilter*>(extras_.get());
    if (iid == ICutListSourceFilter::kIid && desc_.cut_list) return static_cast<ICutListSourceFilter*>(extras_.get());
    if (iid == IVideoInput::kIid && !desc_.video_inputs.empty()) return static_cast<IVideoInput*>(extras_.get());
    return nullptr;
}

std::string DigiSuiteFilter::compound_file() const
{
    std::lock_guard<std::mutex> guard(extras_->lock_);
    return extras_->compound_;
}

std::string DigiSuiteFilter::sub_storage() const
{
    std::lock_guard<std::mutex> guard(extras_->lock_);
    return extras_->sub_;
}

const void* DigiSuiteFilter::cut_list(LONG* count) const
{
    std::lock_guard<std::mutex> guard(extras_->lock_);
    if (count) *count = extras_->cut_count_;
    return extras_->cut_list_;
}

LONG DigiSuiteFilter::video_input() const
{
    std::lock_guard<std::mutex> guard(extras_->lock_);
    return extras_->input_;
}

DWORD DigiSuiteFilter::sink_word(int i) const
{
    std::lock_guard<std::mutex> guard(extras_->lock_);
    return i >= 0 && i < 4 ? extras_->words_[i] : 0;
}

void register_digisuite_filter(const DigiSuiteFilterDesc& desc)
{
    register_class(desc.base.clsid, [desc](REFIID iid, void** object, DWORD mrid) {
        return create_object<DigiSuiteFilter>(iid, object, desc, mrid);
    });
}

namespace {

// The board's clip source: plays a file of the media catalogue from its "Video Out" pin.
const struct BoardFileSource {
    BoardFileSource()
    {
        DigiSuiteFilterDesc desc;
        desc.base.clsid = CLSID_DigiSuiteFileSource;
        desc.base.name = "DigiSuite File Source";
        desc.base.pins = {{"Video Out", PINDIR_OUTPUT}};
        desc.base.file_source = true;
        register_digisuite_filter(desc);
    }
} board_file_source;

} // namespace
} // namespace zk
