// Shared set-up of the on-air controller's tests: a board on a hand-stepped clock with the
// registry's built-in installation (a DigiMix and an SDTI board), pixel checksums in the
// journal, the texts the library reports, and one CKrOnlineCtl started on it. Readers of the
// journal give what the controller's operations sent: writes into the graphics memory, the
// vertical-sync thread's field copies, stills and time-base changes of the channels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "effects/effect_shell_fixture.h"
#include "onair/gfb_fixture.h"
#include "online/kr_online_ctl.h"
#include "platform/board/gfb_device.h"
#include "platform/testing/board.h"
#include "support/test_support.h"

namespace zt {

// The words of a journal entry's bytes.
inline std::vector<std::int32_t> words_of(const zk::JournalEntry& e)
{
    std::vector<std::int32_t> w(e.bytes.size() / 4);
    if (!w.empty()) std::memcpy(w.data(), e.bytes.data(), w.size() * 4);
    return w;
}

// A graphics write (target "GFB back"/"GFB front") as {field, x, y, width, rows, checksum}.
struct GfbWriteSeen {
    long long field;
    std::string target;
    std::vector<std::int32_t> words;
    bool operator==(const GfbWriteSeen&) const = default;
};

inline void PrintTo(const GfbWriteSeen& w, std::ostream* os)
{
    *os << "f" << w.field << " " << w.target << " {";
    for (std::int32_t v : w.words) *os << " " << v;
    *os << " }";
}

// A folder of the current test's own under the build's test folder, made empty and removed
// again. Its name carries a token of the process, so that several runs of the tests at once
// never share (or remove) each other's files.
class OnlineTestFolder {
public:
    explicit OnlineTestFolder(const std::string& area)
    {
        const std::string& run = zt::process_tag();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name() + "." + run;
        for (char& c : name)
            if (c == '/') c = '_';
        path_ = (std::filesystem::path(ZORVIK_TEST_TMP) / area / name).string();
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~OnlineTestFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    OnlineTestFolder(const OnlineTestFolder&) = delete;
    OnlineTestFolder& operator=(const OnlineTestFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class OnlineRig {
public:
    OnlineRig() { board().journal().set_pixel_checksums(true); }
    zk::VirtualBoard& board() { return board_.board(); }

    // The device requests of one code since `from`, as their words.
    std::vector<std::vector<std::int32_t>> requests(std::uint64_t from, DWORD code)
    {
        std::vector<std::vector<std::int32_t>> out;
        for (const zk::JournalEntry& e : board().journal().since(from))
            if (e.kind == zk::JournalKind::DeviceRequest && e.code == code) out.push_back(words_of(e));
        return out;
    }
    // The board's blits since `from`: {field, top, bottom} of each (left and right are the
    // rectangle's, the shift always a field copy's -342).
    std::vector<std::vector<std::int64_t>> blits(std::uint64_t from)
    {
        std::vector<std::vector<std::int64_t>> out;
        for (const zk::JournalEntry& e : board().journal().since(from)) {
            if (e.kind != zk::JournalKind::DeviceRequest || e.code != IOCTL_GFB_BLIT) continue;
            const std::vector<std::int32_t> w = words_of(e);
            out.push_back({e.field, w[6], w[7], w[8], w[9], w[10]});
        }
        return out;
    }
    std::vector<GfbWriteSeen> gfb_writes(std::uint64_t from)
    {
        std::vector<GfbWriteSeen> out;
        for (const zk::JournalEntry& e : board().journal().since(from))
            if (e.kind == zk::JournalKind::GraphicsWrite) out.push_back({e.field, e.target, words_of(e)});
        return out;
    }
    // The channels' strobe changes since `from`: "Fiesta3 strobe rate 0" (frozen), "... 1".
    std::vector<std::string> strobes(std::uint64_t from)
    {
        std::vector<std::string> out;
        for (const zk::JournalEntry& e : board().journal().since(from))
            if (e.kind == zk::JournalKind::StateChange && e.text.rfind("strobe rate", 0) == 0)
                out.push_back(e.target + " " + e.text);
        return out;
    }
    // Entries of a kind whose target starts with `prefix`.
    std::vector<zk::JournalEntry> entries(std::uint64_t from, zk::JournalKind kind, const std::string& prefix = "")
    {
        return board().journal().where([&](const zk::JournalEntry& e) {
            return e.seq >= from && e.kind == kind && e.target.compare(0, prefix.size(), prefix) == 0;
        });
    }

private:
    zk::BoardOverride board_{manual_board()};
};

class OnlineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ctl = std::make_unique<CKrOnlineCtl>();
        ASSERT_EQ(ctl->Initial(nullptr), 0) << ctl->GetErrorText().GetString();
        mark = board().journal().mark();
    }
    void TearDown() override { ctl.reset(); }

    zk::VirtualBoard& board() { return rig.board(); }
    // The checksum the graph journals for the rows of a w × h area at (x, y) of a picture.
    static std::int32_t rows_sum(const CKrFrameBuffer& fb, long x, long y, long w, long h)
    {
        std::uint32_t sum = 2166136261u;
        for (long r = 0; r < h; ++r)
            sum = zk::pixel_checksum(fb.GetBufferDWord() + (y + r) * static_cast<long>(fb.GetWidth()) + x,
                                     static_cast<size_t>(w) * 4, sum);
        return static_cast<std::int32_t>(sum);
    }

    OnlineRig rig;
    zk::RegistryOverride registry_{built_in_registry()};
    MessageLog messages;
    std::unique_ptr<CKrOnlineCtl> ctl;
    std::uint64_t mark = 0;
};

} // namespace zt
