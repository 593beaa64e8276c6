// The effects graph's media side and its event overrides: motion lines and wave sound with
// their files (the private copies, the sources replaced by file sources, reconnection at once
// while the sound plays), the transport wrappers with the data they begin and end, the Genie's
// transport, and the filter warning that stops nothing and shows nothing.
#include <gtest/gtest.h>

#include <set>

#include "onair/effects_graph_fixture.h"
#include "platform/board/digisuite_filter.h"

namespace {

using zt::EffectsGraphTest;

constexpr HRESULT kWarning = hresult(0x80041082);

BSTR warning_record(HRESULT code, DWORD severity)
{
    std::vector<unsigned char> bytes(kMQEventHeaderBytes, 0);
    auto put = [&](size_t at, DWORD v) {
        for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
    };
    put(0, kMQEventMagic);
    put(4, kMQEventHeaderWord);
    put(12, static_cast<DWORD>(code));
    put(16, severity);
    for (char16_t c : std::u16string(u"src\0Field buffer late", 21)) {
        bytes.push_back(static_cast<unsigned char>(c));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    return SysAllocStringByteLen(reinterpret_cast<const char*>(bytes.data()), static_cast<UINT>(bytes.size()));
}

class Media : public EffectsGraphTest {
protected:
    void SetUp() override
    {
        EffectsGraphTest::SetUp();
        for (const char* clip : {"clip.avi", "clip.matte.avi", "tone.A1.wav", "tone.A2.wav"}) zk::set_virtual_media(clip, 3.0);
        zk::set_virtual_media("short.wav", 0.2);
        graph->SetNotifyWindow(window.hwnd());
        ASSERT_EQ(graph->BilGraph_TelopNormal(), 0);
    }
    void TearDown() override
    {
        EffectsGraphTest::TearDown();
        for (const char* clip : {"clip.avi", "clip.matte.avi", "tone.A1.wav", "tone.A2.wav", "short.wav"})
            zk::set_virtual_media(clip, -1.0);
    }
    void post(LONG code, LONG_PTR p1, LONG_PTR p2)
    {
        auto sink = zk::ComPtr<IGraphBuilder>::share(graph->GetGraphBuilder()).as<IMediaEventSink>();
        ASSERT_TRUE(sink);
        sink->Notify(code, p1, p2);
    }
    bool queue_empty()
    {
        auto events = zk::ComPtr<IGraphBuilder>::share(graph->GetGraphBuilder()).as<IMediaEvent>();
        LONG code;
        LONG_PTR a, b;
        if (events->GetEvent(&code, &a, &b, 0) != S_OK) return true;
        events->FreeEventParams(code, a, b);
        return false;
    }
    // The file each source feeding `input` ("<unit>:<pin>") plays, by the source's label.
    std::string source_of(const std::string& input) { return zt::source_feeding(*graph, input); }
    zt::WindowRecorder window;
};

// ---- the filter warning ----

TEST_F(Media, AFilterWarningTakesTheAbortBehindItAndWhatFollowsAndIsCounted)
{
    ASSERT_EQ(graph->FgStop(), S_OK); // the transport thread leaves the queue alone
    post(EC_USERABORT, 5, 0);
    post(EC_COMPLETE, 0, 0);
    BSTR record = warning_record(kWarning, 3);
    EXPECT_TRUE(graph->HandleFGEvent(EC_OLE_EVENT, reinterpret_cast<LONG_PTR>(record), 0));
    SysFreeString(record);
    EXPECT_EQ(graph->GetWarningCount(), 1);
    EXPECT_TRUE(queue_empty());
    ASSERT_TRUE(zk::settle());
    EXPECT_TRUE(window.messages().empty());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Media, AFilterWarningFollowedByTheGraphsErrorAbortTakesOnlyThatAbort)
{
    ASSERT_EQ(graph->FgStop(), S_OK);
    post(EC_ERRORABORT, 5, 0);
    post(EC_USERABORT, 6, 0);
    BSTR record = warning_record(kWarning, 5);
    EXPECT_TRUE(graph->HandleFGEvent(EC_OLE_EVENT, reinterpret_cast<LONG_PTR>(record), 0));
    SysFreeString(record);
    EXPECT_EQ(graph->GetWarningCount(), 0);
    EXPECT_FALSE(queue_empty()) << "the user abort is still there";
    EXPECT_TRUE(queue_empty());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Media, OnlyTheWarningIsIgnoredAmongFilterRecords)
{
    ASSERT_EQ(graph->FgPlay(), S_OK);
    BSTR record = warning_record(kWarning, 6);
    CMQEventInfo warning(reinterpret_cast<LONG_PTR>(record));
    SysFreeString(record);
    EXPECT_TRUE(graph->HandleMQEvent(warning));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_RUNNING);
    BSTR other = warning_record(hresult(0x8004100A), 3);
    CMQEventInfo error(reinterpret_cast<LONG_PTR>(other));
    SysFreeString(other);
    EXPECT_FALSE(graph->HandleMQEvent(error));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "MQFG Library");
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_STOPPED);
}

// ---- motion ----

TEST_F(Media, AMotionLinePlaysTheFilesItWasGivenAndReconnectsThemAsFileSources)
{
    EXPECT_EQ(graph->ReconnectVideo0(), -1) << "no file yet";
    std::string name = "clip.avi";
    ASSERT_EQ(graph->SetVideoFilename0(name.c_str()), 0);
    name = "changed.avi"; // the graph keeps its own copy
    ASSERT_EQ(graph->SetVideoFilename1("clip.matte.avi"), 0);
    ASSERT_EQ(graph->BilGraph_Motion(0), 0) << GetLastErrorText();
    EXPECT_EQ(source_of("Movie2BusControlIn:I1 Bus"), "MotionVideoSource0 clip.avi");
    EXPECT_EQ(source_of("Movie2BusControlIn:I2 Bus"), "MotionVideoSource1 clip.matte.avi");
    double duration = 0;
    ASSERT_EQ(graph->NowPosition(duration), S_OK);
    EXPECT_DOUBLE_EQ(duration, 3.0);

    ASSERT_EQ(graph->ReconnectVideo0(), 0) << GetLastErrorText();
    EXPECT_EQ(source_of("Movie2BusControlIn:I1 Bus"), "FileSource clip.avi");
    ASSERT_EQ(graph->SetVideoFilename1(nullptr), 0);
    EXPECT_EQ(graph->ReconnectVideo1(), -1) << "the name was taken back";
    EXPECT_EQ(source_of("Movie2BusControlIn:I2 Bus"), "MotionVideoSource1 clip.matte.avi");

    ASSERT_EQ(graph->DisconnectMotion(), 0);
    EXPECT_EQ(source_of("Movie2BusControlIn:I1 Bus"), "");
    EXPECT_EQ(graph->ReconnectVideo0(), -1) << "no motion line";
}

TEST_F(Media, AMotionFileTheBoardDoesNotKnowFailsTheBuildWithTheSourcesMessage)
{
    ASSERT_EQ(graph->SetVideoFilename0("missing.avi"), 0);
    EXPECT_EQ(graph->BilGraph_Motion(1), VFW_E_NOT_FOUND);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not open source file\nCode = 0x80040216");
    ASSERT_EQ(graph->DisGraph_Motion(), 0);
    ASSERT_EQ(graph->SetVideoFilename0("clip.avi"), 0);
    EXPECT_EQ(graph->BilGraph_Motion(1), 0) << "built again from nothing";
}

// ---- sound ----

TEST_F(Media, WaveSoundPlaysItsFilesAndReconnectsAtOnceWhenOneChanges)
{
    ASSERT_EQ(graph->SetLeftAudioFilename("tone.A1.wav"), 0) << "stored; nothing to reconnect yet";
    ASSERT_EQ(graph->BilGraph_WaveSound(), 0) << GetLastErrorText();
    EXPECT_EQ(source_of("AudioMixer:Audio In 0"), "FileSource tone.A1.wav");
    EXPECT_EQ(source_of("AudioMixer:Audio In 1"), "WaveSource ") << "no right file: a source that plays nothing";
    ASSERT_EQ(graph->SetRightAudioFilename("tone.A2.wav"), 0);
    EXPECT_EQ(source_of("AudioMixer:Audio In 1"), "FileSource tone.A2.wav");
    ASSERT_EQ(graph->SetLeftAudioFilename(nullptr), 0);
    EXPECT_EQ(source_of("AudioMixer:Audio In 0"), "WaveSource ");
    EXPECT_EQ(graph->SetLeftAudioFilename("nowhere.wav"), VFW_E_NOT_FOUND);
    ASSERT_EQ(graph->DisGraph_WaveSound(), 0);
    EXPECT_EQ(source_of("AudioMixer:Audio In 1"), "");
    EXPECT_EQ(graph->ReconnectRight(), -1) << "no wave sound";
}

TEST_F(Media, TheAudioModeIsKept)
{
    EXPECT_EQ(graph->GetAudioMode(), 0);
    EXPECT_EQ(graph->SetAudioMode(5), 0);
    EXPECT_EQ(graph->GetAudioMode(), 1);
    EXPECT_EQ(graph->SetAudioMode(0), 0);
    EXPECT_EQ(graph->GetAudioMode(), 0);
}

// ---- transport ----

TEST_F(Media, PlaysFromToAndWaitsForTheEndOnBoardTime)
{
    ASSERT_EQ(graph->SetLeftAudioFilename("short.wav"), 0);
    ASSERT_EQ(graph->BilGraph_WaveSound(), 0);
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(graph->FgPlayFromTo(0.0, 0.2, 0), S_OK);
    long result;
    {
        zk::IdlePump pump(board());
        result = graph->WaitForCompletion();
    }
    EXPECT_EQ(result, S_OK);
    const auto begun = board().journal().where([&](const zk::JournalEntry& e) {
        return e.seq >= from && e.kind == zk::JournalKind::StateChange && e.text == "begin data";
    });
    EXPECT_FALSE(begun.empty()) << "the play began every control's data";
    // A seek ends data: records are refused until the next play.
    ASSERT_EQ(graph->FgStop(), S_OK);
    {
        zk::IdlePump pump(board());
        EXPECT_EQ(graph->FgSeek(0.1), S_OK);
    }
    MQVIDFX_CROP_KEYFRAME crop{};
    EXPECT_EQ(graph->SendCropKeyframe1(&crop), VFW_E_WRONG_STATE);
    double position = -1;
    ASSERT_EQ(graph->GetPosition(position), S_OK);
    EXPECT_NEAR(position, 0.1, 1.0 / 30);
}

TEST_F(Media, TheGeniesTransportPlaysPausesStopsAndWaits)
{
    ASSERT_EQ(graph->SetLeftAudioFilename("short.wav"), 0);
    ASSERT_EQ(graph->BilGraph_WaveSound(), 0);
    double duration = 0;
    DWORD frames = 0;
    ASSERT_EQ(graph->GetGenieVfxInfo(duration, frames), 0);
    EXPECT_DOUBLE_EQ(duration, 0.2);
    EXPECT_EQ(frames, 6u) << "0.2 s is 12 fields";
    ASSERT_EQ(graph->GetGenieDuration(duration), 0);
    EXPECT_DOUBLE_EQ(duration, 0.2);

    ASSERT_EQ(graph->GeniePlay(), S_OK);
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_RUNNING);
    ASSERT_EQ(graph->GeniePause(), S_OK);
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_PAUSED);
    EXPECT_EQ(graph->GeniePause(), -1) << "paused already";
    ASSERT_EQ(graph->GenieStop(), S_OK);
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_STOPPED);

    // Cued from 0 to 0: the cue completes at once.
    ASSERT_EQ(graph->GenieStartPosition(), S_OK);
    long code;
    {
        zk::IdlePump pump(board());
        code = graph->GenieWaitForCompletion();
    }
    EXPECT_EQ(code, EC_COMPLETE);
    {
        zk::IdlePump pump(board());
        code = graph->GenieWaitForCompletion();
    }
    EXPECT_EQ(code, E_ABORT) << "nothing more completes";
    EXPECT_STREQ(GetLastErrorText(), "Error! Timeout error waiting for Run completion\nCode = 0x80004004");
    ASSERT_EQ(graph->FgPlayFromTo(0.0, 0.2, 0), S_OK);
    {
        zk::IdlePump pump(board());
        code = graph->GenieWaitForCompletion();
    }
    EXPECT_EQ(code, EC_COMPLETE);
}

} // namespace
