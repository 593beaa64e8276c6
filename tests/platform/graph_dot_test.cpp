// A filter graph written as DOT: filters with their pins, connections as edges between ports,
// names escaped for record labels.
#include <gtest/gtest.h>

#include "platform/filtergraph/filter_graph.h"
#include "platform/filtergraph/graph_dot.h"
#include "platform/com/class_registry.h"

namespace {

const CLSID kSplitter = zk::make_guid("5A7E3C1E-6B2D-4C1E-9A53-2F0D8E4B7C10");

TEST(GraphDot, WritesFiltersPinsAndConnections)
{
    CoInitialize(nullptr);
    {
        zk::FilterDesc splitter;
        splitter.clsid = kSplitter;
        splitter.name = "Splitter";
        splitter.pins = {{"In", PINDIR_INPUT}, {"Out <1>", PINDIR_OUTPUT}, {"Out 2", PINDIR_OUTPUT}};
        zk::register_virtual_filter(splitter);

        zk::ComPtr<IGraphBuilder> graph;
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder, graph.put_void()), S_OK);
        zk::ComPtr<IBaseFilter> source, split, sink;
        ASSERT_EQ(CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC, IID_IBaseFilter, source.put_void()), S_OK);
        ASSERT_EQ(CoCreateInstance(kSplitter, nullptr, CLSCTX_INPROC, IID_IBaseFilter, split.put_void()), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC, IID_IBaseFilter, sink.put_void()), S_OK);
        ASSERT_EQ(graph->AddFilter(source.get(), u"Reader"), S_OK);
        ASSERT_EQ(graph->AddFilter(split.get(), u"Split \"x\""), S_OK);
        ASSERT_EQ(graph->AddFilter(sink.get(), nullptr), S_OK);
        zk::ComPtr<IPin> out, in, split_out, sink_in;
        ASSERT_EQ(source->FindPin(u"Output", out.put()), S_OK);
        ASSERT_EQ(split->FindPin(u"In", in.put()), S_OK);
        ASSERT_EQ(split->FindPin(u"Out 2", split_out.put()), S_OK);
        ASSERT_EQ(sink->FindPin(u"Input", sink_in.put()), S_OK);
        ASSERT_EQ(graph->ConnectDirect(out.get(), in.get(), nullptr), S_OK);
        ASSERT_EQ(graph->ConnectDirect(split_out.get(), sink_in.get(), nullptr), S_OK);

        EXPECT_EQ(zk::graph_to_dot(graph.get(), "test"),
                  "digraph \"test\" {\n"
                  "  rankdir=LR;\n"
                  "  node [shape=record, fontname=\"Helvetica\"];\n"
                  "  f0 [label=\"{Reader|{<o0> Output}}\"];\n"
                  "  f1 [label=\"{{<i0> In}|Split \\\"x\\\"|{<o0> Out \\<1\\>|<o1> Out 2}}\"];\n"
                  "  f2 [label=\"{{<i0> Input}|Video Renderer}\"];\n"
                  "  f0:o0 -> f1:i0;\n"
                  "  f1:o1 -> f2:i0;\n"
                  "}\n");
        EXPECT_EQ(zk::graph_to_dot(nullptr), "digraph \"filters\" {\n  rankdir=LR;\n  node [shape=record, fontname=\"Helvetica\"];\n}\n");
        zk::unregister_class(kSplitter);
    }
    CoUninitialize();
}

} // namespace
