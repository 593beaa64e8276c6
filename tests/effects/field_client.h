// The vertical-sync thread's part for the effect tests, until the on-air control plays it: a
// field-interrupt client that, on every field, publishes the field's parity to the graph and
// runs the test's step with it (1 for a second field), once per field and in order, on the
// client's own thread as the on-air control's field handler would.
#pragma once

#include <functional>
#include <utility>

#include "onair/mq_graph.h"
#include "onair/vsync_client.h"

namespace zt {

class FieldClient final : public CVSyncClient {
public:
    using Step = std::function<void(unsigned long field)>;

    FieldClient(CMQGraph& graph, Step step) : graph_(graph), step_(std::move(step))
    {
        HRESULT hr = S_OK;
        Open("\\\\.\\DigiSuiteSystemClock0", &hr);
        ok_ = SUCCEEDED(hr) && IsOpen();
        SetEnabled(TRUE);
    }
    ~FieldClient() override { Close(); } // no step runs after this
    bool ok() const { return ok_; }
    void ProcessField(DWORD) override
    {
        const int field = GetFieldIndicator();
        graph_.SetFieldNumber(field);
        step_(static_cast<unsigned long>(field));
    }

private:
    CMQGraph& graph_;
    Step step_;
    bool ok_ = false;
};

} // namespace zt
