// DigiSuite filters on the virtual board: virtual filters that may also take a file through
// the board's file-sink, compound-file and cut-list interfaces, and offer live video inputs.
//
// Graph-building code creates them by CLSID like any filter; register_digisuite_filter makes
// a class of one. The board registers its file source (which plays clips named in the media
// catalogue, see virtual_filter.h) this way; the effects graph's filters are registered by
// the code that describes them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/board/digisuite_interfaces.h"
#include "platform/filtergraph/virtual_filter.h"

namespace zk {

struct DigiSuiteFilterDesc {
    FilterDesc base;
    bool multi_file_sink = false;   // IMultiFileSinkFilter
    bool compound_source = false;   // ICompoundFileSourceFilter
    bool cut_list = false;          // ICutListSourceFilter
    std::vector<std::pair<LONG, std::string>> video_inputs; // IVideoInput when not empty
};

class ZORVIK_API DigiSuiteFilter : public VirtualFilter {
public:
    DigiSuiteFilter(DigiSuiteFilterDesc desc, DWORD mrid);
    ~DigiSuiteFilter() override; // out of line: Extras is complete only there

    const DigiSuiteFilterDesc& digisuite_desc() const { return desc_; }
    // What was handed to the filter, for inspection.
    std::string compound_file() const;
    std::string sub_storage() const;
    const void* cut_list(LONG* count) const;
    LONG video_input() const;
    DWORD sink_word(int i) const;

protected:
    void* query_extra(REFIID iid) override;

private:
    class Extras;
    const DigiSuiteFilterDesc desc_;
    std::unique_ptr<Extras> extras_;
};

ZORVIK_API void register_digisuite_filter(const DigiSuiteFilterDesc& desc);

} // namespace zk
