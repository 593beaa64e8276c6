// Writing a filter graph as DOT: filters and pins from the graph's enumerations, edges from
// each output pin's connection.
#include "platform/filtergraph/graph_dot.h"

#include <vector>

namespace zk {
namespace {

struct PinRow {
    std::string name;
    PIN_DIRECTION direction;
    ComPtr<IPin> pin;
};

struct FilterRow {
    ComPtr<IBaseFilter> filter;
    std::string name;
    std::vector<PinRow> pins;
};

// Text inside a record label: the characters that shape records are escaped.
std::string label_text(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '{' || c == '}' || c == '|' || c == '<' || c == '>' || c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// A quoted DOT string: only the quote is escaped (DOT keeps other backslashes as they are).
std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::vector<FilterRow> read_graph(IFilterGraph* graph)
{
    std::vector<FilterRow> rows;
    ComPtr<IEnumFilters> filters;
    if (!graph || FAILED(graph->EnumFilters(filters.put())) || !filters) return rows;
    IBaseFilter* f = nullptr;
    while (filters->Next(1, &f, nullptr) == S_OK) {
        FilterRow row;
        row.filter = ComPtr<IBaseFilter>::attach(f);
        FILTER_INFO info{};
        if (SUCCEEDED(f->QueryFilterInfo(&info))) {
            info.achName[127] = 0;
            row.name = to_ansi(info.achName);
            if (info.pGraph) info.pGraph->Release();
        }
        ComPtr<IEnumPins> pins;
        if (SUCCEEDED(f->EnumPins(pins.put())) && pins) {
            IPin* p = nullptr;
            while (pins->Next(1, &p, nullptr) == S_OK) {
                PinRow pin;
                pin.pin = ComPtr<IPin>::attach(p);
                PIN_INFO pi{};
                if (SUCCEEDED(p->QueryPinInfo(&pi))) {
                    pi.achName[127] = 0;
                    pin.name = to_ansi(pi.achName);
                    pin.direction = pi.dir;
                    if (pi.pFilter) pi.pFilter->Release();
                    row.pins.push_back(std::move(pin));
                }
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// "i3" or "o1": the port of a pin inside its filter's record.
std::string port(const FilterRow& row, const IPin* pin)
{
    int in = 0, out = 0;
    for (const PinRow& p : row.pins) {
        const bool input = p.direction == PINDIR_INPUT;
        if (p.pin.get() == pin) {
            std::string name(input ? "i" : "o");
            name.append(std::to_string(input ? in : out));
            return name;
        }
        ++(input ? in : out);
    }
    return {};
}

std::string ports(const FilterRow& row, PIN_DIRECTION direction)
{
    std::string out;
    int n = 0;
    for (const PinRow& p : row.pins) {
        if (p.direction != direction) continue;
        if (n) out.append("|");
        out.append("<").append(direction == PINDIR_INPUT ? "i" : "o").append(std::to_string(n++)).append("> ");
        out.append(label_text(p.name));
    }
    return out;
}

} // namespace

std::string graph_to_dot(IFilterGraph* graph, const std::string& title)
{
    const std::vector<FilterRow> rows = read_graph(graph);
    std::string dot = "digraph ";
    dot.append(quoted(title)).append(" {\n  rankdir=LR;\n  node [shape=record, fontname=\"Helvetica\"];\n");
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string in = ports(rows[i], PINDIR_INPUT), out = ports(rows[i], PINDIR_OUTPUT);
        // The label's own escapes already cover quotes.
        dot.append("  f").append(std::to_string(i)).append(" [label=\"{");
        if (!in.empty()) dot.append("{").append(in).append("}|");
        dot.append(label_text(rows[i].name));
        if (!out.empty()) dot.append("|{").append(out).append("}");
        dot.append("}\"];\n");
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        for (const PinRow& p : rows[i].pins) {
            if (p.direction != PINDIR_OUTPUT) continue;
            ComPtr<IPin> peer;
            if (FAILED(p.pin->ConnectedTo(peer.put())) || !peer) continue;
            for (size_t j = 0; j < rows.size(); ++j) {
                const std::string to = port(rows[j], peer.get());
                if (to.empty()) continue;
                dot.append("  f").append(std::to_string(i)).append(":").append(port(rows[i], p.pin.get()));
                dot.append(" -> f").append(std::to_string(j)).append(":").append(to).append(";\n");
            }
        }
    }
    return dot + "}\n";
}

} // namespace zk
