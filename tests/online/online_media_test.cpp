// Motion clips and sound on the control side: the files a clip and a sound are made of, the
// motion line's channels frozen around a cue and at the clip's end, the motion-done event the
// host waits on, the transport positions, and every failure text.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "onair/effects_graph_fixture.h"
#include "onair/mq_graph.h"
#include "online/online_fixture.h"
#include "platform/filtergraph/virtual_filter.h"

namespace zt {
namespace {

namespace fs = std::filesystem;

// The files of a test, on disk (the controller looks for them there) and known to the board
// with a length (the graph's sources play them); forgotten by the board afterwards.
class MediaFiles {
public:
    MediaFiles() : folder_("online_media"), dir_(folder_.path()) {}
    ~MediaFiles()
    {
        for (const std::string& p : known_) zk::set_virtual_media(p, -1.0);
    }
    // `name` in the folder; on the board with `seconds` unless negative.
    std::string add(const std::string& name, double seconds = 3.0)
    {
        const std::string p = path(name);
        std::FILE* f = std::fopen(p.c_str(), "wb");
        EXPECT_NE(f, nullptr) << p;
        if (f) std::fclose(f);
        if (seconds >= 0) {
            zk::set_virtual_media(p, seconds);
            known_.push_back(p);
        }
        return p;
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

private:
    OnlineTestFolder folder_;
    std::string dir_;
    std::vector<std::string> known_;
};

class Media : public OnlineTest {
protected:
    std::string source_of(const std::string& input) { return source_feeding(*ctl->GetGraph(), input); }
    MediaFiles files;
};

struct Clip {
    const char* name;
    std::vector<const char*> present;
    const char* argument; // as the host names the clip
    int line;
    const char* key;      // the key file taken
};

class MotionFiles : public Media, public ::testing::WithParamInterface<Clip> {};

TEST_P(MotionFiles, TheFillIsTheAviAndTheKeyTheMatteOrElseTheAlpha)
{
    const Clip c = GetParam();
    for (const char* f : c.present) files.add(f);
    zk::IdlePump pump(board());
    ASSERT_EQ(ctl->MotionSet(files.path(c.argument).c_str(), c.line), 0) << ctl->GetErrorText().GetString();
    pump.stop();
    EXPECT_EQ(source_of("Movie2BusControlIn:I1 Bus"), "MotionVideoSource0 " + files.path("clip.avi"));
    EXPECT_EQ(source_of("Movie2BusControlIn:I2 Bus"), "MotionVideoSource1 " + files.path(c.key));
    EXPECT_EQ(ctl->GetMotionSet(), 1);
    EXPECT_EQ(ctl->GetMotionLine(), c.line);
    EXPECT_EQ(ctl->GetMotionPlaying(), 0);
    // The line's channels held still while the clip was cued, and take it again after.
    const std::string a = "Fiesta" + std::to_string(2 * c.line + 1), b = "Fiesta" + std::to_string(2 * c.line + 2);
    const std::vector<std::string> strobes = rig.strobes(mark);
    ASSERT_GE(strobes.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(strobes.begin(), strobes.begin() + 2),
              (std::vector<std::string>{a + " strobe rate 0", b + " strobe rate 0"}));
    EXPECT_EQ(std::vector<std::string>(strobes.end() - 2, strobes.end()),
              (std::vector<std::string>{a + " strobe rate 1", b + " strobe rate 1"}));
}

INSTANTIATE_TEST_SUITE_P(
    Online, MotionFiles,
    ::testing::Values(Clip{"Matte", {"clip.avi", "clip.matte.avi", "clip.alpha.avi"}, "clip", 0, "clip.matte.avi"},
                      Clip{"Alpha", {"clip.avi", "clip.alpha.avi"}, "clip", 1, "clip.alpha.avi"},
                      Clip{"NamedWithItsExtension", {"clip.avi", "clip.matte.avi"}, "clip.avi", 1, "clip.matte.avi"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Media, AClipThatCannotBeSetNamesItselfAndChangesNothing)
{
    files.add("nokey.avi");
    files.add("unknown.avi", -1); // on disk, but the board has no such media
    files.add("unknown.matte.avi", -1);
    zk::IdlePump pump(board());
    for (const std::string name : {"missing", "nokey"}) {
        const std::string p = files.path(name);
        EXPECT_EQ(ctl->MotionSet(p.c_str(), 0), -1) << name;
        EXPECT_EQ(ctl->GetErrorText(), ("MotionSetErr " + p).c_str());
    }
    EXPECT_TRUE(rig.strobes(mark).empty()) << "the air was not touched";
    const std::string unknown = files.path("unknown");
    EXPECT_EQ(ctl->MotionSet(unknown.c_str(), 0), -1);
    EXPECT_EQ(ctl->GetErrorText(), ("MotionSetErr " + unknown).c_str());
    EXPECT_EQ(ctl->GetMotionSet(), 0);
    pump.stop();
    const std::vector<std::string> strobes = rig.strobes(mark);
    ASSERT_FALSE(strobes.empty());
    EXPECT_EQ(strobes.back(), "Fiesta2 strobe rate 1") << "the line was let go again";
}

TEST_F(Media, AClipPlayedToItsEndFreezesTheLineTwoFramesBeforeAndEndsTheWait)
{
    files.add("clip.avi", 0.5);
    files.add("clip.matte.avi", 0.5);
    zk::IdlePump pump(board());
    ASSERT_EQ(ctl->MotionSet(files.path("clip").c_str(), 1), 0) << ctl->GetErrorText().GetString();
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(ctl->MotionPlay(), 0);
    EXPECT_EQ(ctl->GetMotionPlaying(), 1);
    const long long started = board().current_field();
    EXPECT_EQ(ctl->MotionWait(), 0);
    const long long ended = board().current_field();
    pump.stop();
    EXPECT_EQ(ctl->GetMotionPlaying(), 0);
    // Half a second is 30 fields (29.97): the wait ends when the clip does.
    EXPECT_NEAR(static_cast<double>(ended - started), 30.0, 2.0);
    std::vector<long long> frozen_at;
    for (const zk::JournalEntry& e : board().journal().since(from))
        if (e.kind == zk::JournalKind::StateChange && e.text == "strobe rate 0") frozen_at.push_back(e.field);
    ASSERT_EQ(frozen_at.size(), 2u) << "Fiesta3 and 4, once";
    EXPECT_NEAR(static_cast<double>(ended - frozen_at[0]), 4.0, 1.0) << "two frames ahead of the end";
    EXPECT_EQ(ctl->MotionWait(), 0) << "nothing plays: no wait";
}

TEST_F(Media, StoppingSeekingAndCueingEndTheWaitAndMoveTheClip)
{
    files.add("clip.avi", 3.0);
    files.add("clip.matte.avi", 3.0);
    zk::IdlePump pump(board());
    ASSERT_EQ(ctl->MotionSet(files.path("clip").c_str(), 0), 0);
    CMQGraph* graph = ctl->GetGraph();
    double at = -1;
    EXPECT_EQ(ctl->MotionSeekFrame(30), 0);
    graph->GetPosition(at);
    EXPECT_NEAR(at, graph->FramesToSeconds(30), 1e-6);
    EXPECT_EQ(ctl->MotionSeekTime(1.5), 0);
    graph->GetPosition(at);
    EXPECT_NEAR(at, 1.5, 1e-6);
    ASSERT_EQ(ctl->MotionPlay(), 0);
    ASSERT_EQ(ctl->TimeWait(2), 0);
    double before = 0;
    graph->GetPosition(before);
    EXPECT_GT(before, 1.5);
    const std::uint64_t from = board().journal().mark();
    EXPECT_EQ(ctl->MotionStop(), 0);
    EXPECT_EQ(ctl->GetMotionPlaying(), 0);
    EXPECT_EQ(rig.strobes(from), (std::vector<std::string>{"Fiesta1 strobe rate 0", "Fiesta2 strobe rate 0"}));
    graph->GetPosition(at);
    EXPECT_NEAR(at, before + graph->FramesToSeconds(2), graph->FramesToSeconds(1)) << "two frames on";
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_STOPPED);
    EXPECT_EQ(ctl->MotionWait(), 0);
    EXPECT_EQ(ctl->MotionStartPosition(), 0);
    graph->GetPosition(at);
    EXPECT_EQ(at, 0.0);
    ASSERT_EQ(ctl->MotionPlay(), 0);
    EXPECT_EQ(ctl->MotionStopField(), 0);
    EXPECT_EQ(ctl->GetMotionPlaying(), 0);
    EXPECT_EQ(ctl->MotionEnd(), 0);
    EXPECT_EQ(ctl->GetMotionSet(), 0);
    EXPECT_EQ(source_of("Movie2BusControlIn:I1 Bus"), "");
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_RUNNING) << "the graphics play on";
}

struct Sound {
    const char* name;
    std::vector<const char*> present;
    int result;
    const char* left;  // file on "Audio In 0", "" for a source that plays nothing
    const char* right;
};

class WaveFiles : public Media, public ::testing::WithParamInterface<Sound> {};

TEST_P(WaveFiles, LeftAndRightAreTheA1AndA2FilesOrElseTheWaveAlone)
{
    const Sound s = GetParam();
    for (const char* f : s.present) files.add(f);
    zk::IdlePump pump(board());
    EXPECT_EQ(ctl->WaveSet(files.path("tone").c_str()), s.result);
    pump.stop();
    if (s.result != 0) {
        EXPECT_EQ(source_of("AudioMixer:Audio In 0"), "");
        EXPECT_TRUE(messages.take().empty()) << "no text for a sound that is not there";
        return;
    }
    auto file = [&](const char* f) { return *f ? "FileSource " + files.path(f) : std::string("WaveSource "); };
    EXPECT_EQ(source_of("AudioMixer:Audio In 0"), file(s.left));
    EXPECT_EQ(source_of("AudioMixer:Audio In 1"), file(s.right));
}

INSTANTIATE_TEST_SUITE_P(Online, WaveFiles,
                         ::testing::Values(Sound{"OnlyA1", {"tone.A1.wav", "tone.wav"}, 0, "tone.A1.wav", ""},
                                           Sound{"Both", {"tone.A1.wav", "tone.A2.wav"}, 0, "tone.A1.wav", "tone.A2.wav"},
                                           Sound{"OnlyA2", {"tone.A2.wav"}, 0, "", "tone.A2.wav"},
                                           Sound{"TheWaveAlone", {"tone.wav"}, 0, "tone.wav", ""},
                                           Sound{"Nothing", {}, -1, "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Media, SoundAndMovieFailuresNameWhatFailed)
{
    files.add("bad.wav", -1); // on disk, unknown to the board
    files.add("movie.avi");
    files.add("movie.matte.avi");
    files.add("movie.A1.wav");
    zk::IdlePump pump(board());
    const std::string bad = files.path("bad");
    EXPECT_EQ(ctl->WaveSet(bad.c_str()), -1);
    EXPECT_EQ(ctl->GetErrorText(), ("WaveSetErr " + bad).c_str());

    const std::string nothing = files.path("nothing");
    EXPECT_EQ(ctl->MovieSet(nothing.c_str(), 0), -1);
    EXPECT_EQ(ctl->GetErrorText(), ("MotionSetErr " + nothing).c_str()) << "the motion's failure, first";
    EXPECT_EQ(ctl->MovieSet(files.path("movie").c_str(), 1), 0) << ctl->GetErrorText().GetString();
    EXPECT_EQ(source_of("AudioMixer:Audio In 0"), "FileSource " + files.path("movie.A1.wav"));
    EXPECT_EQ(ctl->GetMotionLine(), 1);
    EXPECT_EQ(ctl->MovieEnd(), 0);
    EXPECT_EQ(ctl->GetMotionSet(), 0);
    EXPECT_EQ(source_of("AudioMixer:Audio In 0"), "");

    // A second sound replaces the first rather than keeping its files.
    files.add("other.wav");
    EXPECT_EQ(ctl->WaveSet(files.path("movie").c_str()), 0);
    EXPECT_EQ(ctl->WaveSet(files.path("other").c_str()), 0);
    EXPECT_EQ(source_of("AudioMixer:Audio In 0"), "FileSource " + files.path("other.wav"));
    EXPECT_EQ(source_of("AudioMixer:Audio In 1"), "WaveSource ");
    EXPECT_EQ(ctl->WaveEnd(), 0);

    EXPECT_EQ(ctl->LiveSoundSet(), 0);
    EXPECT_NE(source_of("AudioMixer:Audio In 0"), "");
    EXPECT_EQ(ctl->LiveSoundEnd(), 0);
    EXPECT_EQ(source_of("AudioMixer:Audio In 0"), "");
    EXPECT_EQ(ctl->SetAudioMode(3), 0);
    EXPECT_EQ(ctl->GetAudioMode(), 1);
    EXPECT_EQ(ctl->SetAudioMode(0), 0);
    EXPECT_EQ(ctl->GetAudioMode(), 0);
}

TEST_F(Media, LiveSoundNamesItsFailureWhenTheAudioIsAnotherGraphs)
{
    zk::IdlePump pump(board());
    // Another graph on the same board holds the audio mixer with a sound of its own.
    CMQGraph other;
    ASSERT_EQ(other.Initialize(TRUE), S_OK);
    ASSERT_EQ(other.BuildGraph(), S_OK) << GetLastErrorText();
    ASSERT_EQ(other.BilGraph_WaveSound(), 0) << GetLastErrorText();
    EXPECT_EQ(ctl->LiveSoundSet(), -1);
    EXPECT_EQ(ctl->GetErrorText(), "LiveSoundSetErr");
    EXPECT_EQ(source_of("AudioMixer:Audio In 0"), "");
}

} // namespace
} // namespace zt
