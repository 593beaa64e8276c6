// Shared set-up of the graphics frame-buffer tests: a board on a hand-stepped clock with the
// registry's built-in installation, an effects graph built on it (its graphics device mapped),
// and, until the on-air control exists, a harness that plays the vertical-sync worker's first
// step: a field-interrupt client whose handler publishes the field to the graph and wakes a
// thread that copies the pending field work from the back area to the front.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "onair/mq_graph.h"
#include "onair/onair_fixture.h"
#include "onair/vsync_client.h"
#include "platform/board/gfb_device.h"
#include "platform/registry/registry.h"
#include "support/library_thread.h"

namespace zt {

inline zk::RegistryStore built_in_registry()
{
    auto store = zk::RegistryStore::parse(zk::RegistryStore::default_text());
    return store ? std::move(*store) : zk::RegistryStore{};
}

// The vertical-sync thread as the on-air control runs it: the field interrupt's handler
// publishes the field to the graph and wakes a thread that runs `step` with the field number
// (1 for a second field), once for every field, in order.
class FieldHarness final : public CVSyncClient {
public:
    using Step = std::function<void(unsigned long field)>;

    FieldHarness(CMQGraph& graph, Step step) : graph_(graph), step_(std::move(step))
    {
        event_ = CreateEvent(nullptr, FALSE, FALSE, nullptr);
        thread_ = std::make_unique<LibraryThread>([this] { run(); });
        HRESULT hr = S_OK;
        Open("\\\\.\\DigiSuiteSystemClock0", &hr);
        ok_ = SUCCEEDED(hr) && IsOpen();
        SetEnabled(TRUE);
    }
    ~FieldHarness() override
    {
        Close(); // no field handler runs after this
        quit_ = true;
        SetEvent(event_);
        thread_.reset();
        CloseHandle(event_);
    }
    bool ok() const { return ok_; }
    void ProcessField(DWORD) override
    {
        graph_.SetFieldNumber(GetFieldIndicator());
        SetEvent(event_);
    }

private:
    void run()
    {
        while (WaitForSingleObject(event_, INFINITE) == WAIT_OBJECT_0 && !quit_.load()) {
            step_(static_cast<unsigned long>(graph_.GetFieldNumber()));
        }
    }

    CMQGraph& graph_;
    Step step_;
    HANDLE event_ = nullptr;
    std::atomic<bool> quit_{false};
    bool ok_ = false;
    std::unique_ptr<LibraryThread> thread_;
};

// The vertical-sync worker's first step, as the on-air control will run it: the field work
// copied from the back area to the front.
class VSyncHarness final {
public:
    VSyncHarness(CMQGraph& graph, CVSyncWork& work)
        : fields_(graph, [this, &graph, &work](unsigned long field) {
              if (zk::copy_field_work(graph, work, static_cast<int>(field)) < 0) ++failed_;
          })
    {
    }
    bool ok() const { return fields_.ok(); }
    long copies_failed() const { return failed_.load(); }

private:
    std::atomic<long> failed_{0};
    FieldHarness fields_; // last: its thread ends before the count goes
};

class GfbGraphTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        graph = std::make_unique<CMQGraph>();
        ASSERT_EQ(graph->Initialize(TRUE), S_OK) << GetLastErrorText();
        mark = board().journal().mark();
        ASSERT_EQ(graph->BuildGraph(), S_OK);
    }
    void TearDown() override { graph.reset(); }

    zk::VirtualBoard& board() { return board_.board(); }
    std::shared_ptr<zk::VirtualBoard> shared_board() { return board_.shared(); }
    // The whole graphics memory, read under its lock.
    std::vector<std::uint32_t> memory()
    {
        auto m = zk::graphics_memory(board());
        std::lock_guard<std::mutex> guard(*m->lock);
        return m->pixels;
    }
    void fill_memory(std::uint32_t (*value)(int x, int line))
    {
        auto m = zk::graphics_memory(board());
        std::lock_guard<std::mutex> guard(*m->lock);
        for (int line = 0; line < zk::kGfbLines; ++line)
            for (int x = 0; x < zk::kGfbPitch; ++x) m->pixels[static_cast<std::size_t>(line * zk::kGfbPitch + x)] = value(x, line);
    }
    // The words (left, top, right, bottom, vertical, horizontal) of every blit request since `from`.
    std::vector<std::vector<std::int32_t>> blits_since(std::uint64_t from)
    {
        std::vector<std::vector<std::int32_t>> out;
        for (const zk::JournalEntry& e : board().journal().since(from)) {
            if (e.kind != zk::JournalKind::DeviceRequest || e.code != IOCTL_GFB_BLIT || e.bytes.size() != 48) continue;
            zk::GfbBlitRequest r;
            std::memcpy(&r, e.bytes.data(), sizeof r);
            out.push_back({r.left, r.top, r.right, r.bottom, r.vshift, r.hshift});
        }
        return out;
    }

    zk::BoardOverride board_{manual_board()};
    zk::RegistryOverride registry_{built_in_registry()};
    BoxRecorder boxes;
    std::unique_ptr<CMQGraph> graph;
    std::uint64_t mark = 0;
};

} // namespace zt
