// A filter graph written out for people as a Graphviz DOT digraph: every filter a node with
// its name and pins (inputs on the left, outputs on the right), every connection an edge from
// an output pin to the input pin it feeds.
//
// Works on any graph through its IFilterGraph (filters in the graph's own order, pins in each
// filter's order), so it shows what the graph holds, whoever built it. Render with
// `dot -Tsvg graph.dot -o graph.svg`.
#pragma once

#include <string>

#include "platform/filtergraph/dshow_interfaces.h"

namespace zk {

// The graph as DOT text; an empty digraph for a null graph.
std::string graph_to_dot(IFilterGraph* graph, const std::string& title = "filters");

} // namespace zk
