// Fuzzes the on-air demo's cue sheet parser: any bytes either parse into cues that match the
// table of operations (the right number and kinds of arguments, fields ascending, known
// options) or fail with a line inside the text and a reason; nothing reads past the text.
//
// The demo host is not part of the library this build instruments, so the parser's source is
// compiled in here; it needs nothing but the standard library.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "../onair_demo/core/cue_sheet.cpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    oa::CueSheet sheet;
    oa::CueError error;
    const bool ok = oa::parse_cue_sheet(text, sheet, error);
    const long long lines = static_cast<long long>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (!ok && (error.line < 1 || error.line > lines || error.reason.empty())) std::abort();
    long long field = 0;
    for (const oa::Cue& cue : sheet.cues) {
        const oa::CueOperation* op = oa::find_cue_operation(cue.operation);
        if (!op || cue.args.size() != op->args.size()) std::abort();
        if (cue.field < field || cue.field > oa::kMostCueField || cue.line < 1 || cue.line > lines) std::abort();
        field = cue.field;
        for (size_t i = 0; i < cue.args.size(); ++i)
            if (static_cast<char>(cue.args[i].kind) != op->args[i]) std::abort();
        for (const auto& [name, value] : cue.options)
            if (std::find(op->options.begin(), op->options.end(), name) == op->options.end()) std::abort();
    }
    return 0;
}
