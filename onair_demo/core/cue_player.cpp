// The cue player: one controller call for each operation of the sheet (see cue_player.h).
#include "cue_player.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <utility>
#include <vector>

#include "draw/draw_graph.h"
#include "draw/kr_font_draw.h"
#include "effects/kr_fade_ctr.h"
#include "effects/kr_tm_proc.h"
#include "framebuffer/kr_frame_buffer.h"
#include "imagefile/img_file.h"
#include "online/kr_online_ctl.h"

namespace oa {

namespace {

// How each operation's result reads: most of the controller answers 0 for success, the fade
// and animation controllers 1.
enum class Success { zero, one };

} // namespace

CuePlayer::CuePlayer(CKrOnlineCtl& ctl, std::string folder) : ctl_(ctl), folder_(std::move(folder)) {}

CuePlayer::~CuePlayer() = default;

// A video still: the picture fitted to the channel's frame and made opaque, as a camera's
// picture would be.
long long CuePlayer::still(const Cue& c)
{
    CImgFile file;
    if (file.LoadImage(CString(path(c.args[1].text).c_str())) != 0) return -1;
    CKrFrameBuffer picture;
    if (file.GetImg()->SizeChange(&picture, 720, 486) != 0) return -1;
    DWORD* p = picture.GetBufferDWord();
    for (long n = 0; n < 720 * 486; ++n) p[n] |= 0xFF000000u;
    return ctl_.PutFiesta(c.args[0].i(), &picture, 0, 0, 720, 486, 0, 0);
}

// The picture from a file or from the write bank, handed to the roll; kept when taken.
long long CuePlayer::roll(const Cue& c)
{
    auto picture = std::make_unique<CKrFrameBuffer>();
    size_t a = 0;
    if (c.operation == "roll") {
        CImgFile file;
        if (file.LoadImage(CString(path(c.args[0].text).c_str())) != 0) return 0;
        *picture = *file.GetImg();
        a = 1;
    } else {
        if (ctl_.ImageGet(picture.get(), c.args[0].i(), c.args[1].i(), c.args[2].i(), c.args[3].i()) != 0) return 0;
        a = 4;
    }
    const int r = ctl_.SetRoll(picture.get(), c.args[a].i(), c.args[a + 1].i(), c.args[a + 2].i());
    if (r == 1) roll_picture_ = std::move(picture);
    return r;
}

std::string CuePlayer::path(const std::string& name) const
{
    const std::filesystem::path p(name);
    if (p.is_absolute() || folder_.empty()) return name;
    return (std::filesystem::path(folder_) / p).string();
}

long long CuePlayer::text(const Cue& c)
{
    CKrFontDraw& f = *ctl_.GetFontDraw();
    const long soft = static_cast<long>(c.option("soft", 0));
    if (f.SetFontNo(static_cast<long>(c.option("font", 1))) != 0) return -1;
    f.SetPos(c.args[0].i(), c.args[1].i());
    f.SetSize(c.args[2].i(), static_cast<long>(c.option("width", 100)));
    f.SetBodyCol(static_cast<DWORD>(c.option("color", 0xFFFFFFFF)));
    f.SetEdgeCol(static_cast<DWORD>(c.option("edgecolor", 0xFF000000)));
    f.SetShadCol(static_cast<DWORD>(c.option("shadowcolor", 0xFF000000)));
    f.SetEdgeType(static_cast<long>(c.option("edgetype", 0)), static_cast<long>(c.option("edge", 0)), soft);
    f.SetShadType(static_cast<long>(c.option("shadowtype", 0)), static_cast<long>(c.option("shadow", 0)), soft, soft);
    return ctl_.GfbFontDisp(c.args[3].text.c_str());
}

long long CuePlayer::shape(const Cue& c)
{
    CDrawGraph& g = *ctl_.GetDrawGraph();
    g.SetDefault();
    // Corners far outside the picture are clipped by the drawer; kept within LONG here.
    auto edge = [](long long v) {
        return static_cast<LONG>(std::clamp<long long>(v, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
    };
    const long long x = c.args[0].integer, y = c.args[1].integer;
    const RECT box{edge(x), edge(y), edge(x + c.args[2].integer), edge(y + c.args[3].integer)};
    if (c.operation == "rect") g.SetRect(&box);
    else if (c.operation == "ellipse") g.SetEllipse(&box);
    else g.SetRoundRect(&box, POINT{c.args[4].i(), c.args[5].i()});
    g.SetBodyCol(static_cast<DWORD>(c.option("color", 0xFFFFFFFF)));
    g.SetEdgeCol(static_cast<DWORD>(c.option("edgecolor", 0xFF000000)));
    g.SetShadCol(static_cast<DWORD>(c.option("shadowcolor", 0xFF000000)));
    g.SetEdgeType(0, static_cast<long>(c.option("edge", 0)), 0);
    g.SetShadType(0, static_cast<long>(c.option("shadow", 0)), 0, 0);
    g.SetPenSize(static_cast<long>(c.option("pen", 1)));
    g.SetFillMode(static_cast<long>(c.option("fill", 1)));
    return ctl_.GfbGraphDisp();
}

CueOutcome CuePlayer::play(const Cue& c)
{
    CKrOnlineCtl& k = ctl_;
    // Arguments by position: integers, and strings as the writable text some calls take.
    auto i = [&c](size_t n) { return c.args[n].i(); };
    auto w = [&c](size_t n) { return static_cast<DWORD>(c.args[n].word()); };
    std::vector<std::string> owned;
    for (const CueArg& a : c.args)
        if (a.kind == ArgKind::text) owned.push_back(a.text);
    auto file = [&](size_t n) {
        owned.push_back(path(c.args[n].text));
        return owned.back().data();
    };

    // The controller keeps its last failure text; emptied first, a text after the call is
    // this call's own.
    k.ErrDispMessage(CString(""));
    Success success = Success::zero;
    long long r = -1;
    const std::string& op = c.operation;
    // Banks.
    if (op == "clear") r = k.ScreenClear();
    else if (op == "clearbank") r = k.ScreenClearBankCol(i(0), w(1));
    else if (op == "bank") r = k.SetBankDisp(i(0), i(1));
    else if (op == "write") r = k.SetBankWrite(i(0));
    else if (op == "copymode") r = k.SetCopyMode(i(0));
    else if (op == "copybank") r = k.CopyBank(i(0), i(1));
    else if (op == "box") r = k.BoxFill(i(0), i(1), i(2), i(3), w(4));
    else if (op == "preview") r = i(0) ? k.PreviewOn() : k.PreviewOff();
    else if (op == "preout") r = k.ChPreOut(i(0));
    else if (op == "still") r = still(c);
    // Drawing.
    else if (op == "font") r = k.GetFontDraw()->FontOpen(c.args[1].text.c_str(), i(0));
    else if (op == "text") r = text(c);
    else if (op == "rect" || op == "ellipse" || op == "roundrect") r = shape(c);
    else if (op == "image") r = k.ImageFileLoad(file(0), i(1), i(2));
    // Fades.
    else if (op == "fade") {
        success = Success::one;
        r = k.GetFadeCtr()->FadeSet(i(0), i(1), i(2), i(3), i(4), i(5), i(6), i(7), i(8), i(9));
    } else if (op == "fadestart") {
        success = Success::one;
        r = k.GetFadeCtr()->CFadeStart();
    } else if (op == "fadecopy") {
        success = Success::one;
        r = k.GetFadeCtr()->FadeEndCopy();
    } else if (op == "fadereset") {
        success = Success::one;
        r = k.GetFadeCtr()->CFadeResetAll();
    }
    // Clocks.
    else if (op == "clock")
        r = k.GetTmProc()->SetTimerData(i(0), reinterpret_cast<unsigned char*>(file(1)), i(2), i(3), i(4));
    else if (op == "clocktime") r = k.GetTmProc()->SetTmTime(i(0), i(1), i(2), i(3), i(4));
    else if (op == "clockdown") r = k.GetTmProc()->SetTmCountDown(i(0));
    else if (op == "clockup") r = k.GetTmProc()->SetTmCountUp(i(0));
    else if (op == "clockshow") r = i(1) ? k.GetTmProc()->DispTmOn(i(0)) : k.GetTmProc()->DispTmOff(i(0));
    else if (op == "clockstart") r = k.GetTmProc()->SetTmStart(i(0));
    else if (op == "clockstop") r = k.GetTmProc()->SetTmStop(i(0));
    // Animations.
    else if (op == "anime") {
        success = Success::one;
        r = k.AnimeImageSet(i(0), i(1), i(2), i(3), i(4), i(5), i(6), file(7), i(8), i(9), 0);
    } else if (op == "animemode") {
        success = Success::one;
        r = k.AnimeModeSet(i(0), i(1), i(2), i(3), i(4));
    } else if (op == "animestart") {
        success = Success::one;
        r = k.AnimeStart();
    } else if (op == "animestop") {
        success = Success::one;
        r = k.AnimeStop(i(0));
    }
    // Rolls and crawls.
    else if (op == "roll" || op == "rollgrab") {
        success = Success::one;
        r = roll(c);
    } else if (op == "rollstart") {
        success = Success::one;
        r = k.StartRoll();
    } else if (op == "rollbreak") {
        success = Success::one;
        r = k.BreakRoll();
    } else if (op == "gfbroll") {
        success = Success::one;
        r = k.GfbRoll(i(0), i(1), i(2), i(3));
    }
    // Wipes and the 2D DVE.
    else if (op == "wipe") r = k.WipeSet(i(0), w(1), w(2), w(3), w(4), w(5), w(6), w(7));
    else if (op == "wipestart") r = k.WipeStart(i(0));
    else if (op == "dveslide") r = k.DveSlideSet(i(0), i(1), i(2), w(3), w(4), w(5));
    else if (op == "dveslidestart") r = k.DveSlideStart(i(0));
    else if (op == "dve") {
        success = Success::one;
        r = k.Set2DPtn(i(0), i(1), i(2), i(3));
    } else if (op == "dvestart") {
        success = Success::one;
        r = k.Start2DDveAct(i(0));
    } else if (op == "dvebreak") {
        success = Success::one;
        r = k.Break2DDveAct(i(0));
    } else if (op == "dvepos") {
        success = Success::one;
        r = k.PostionDirect2DDve(c.args[0].real, c.args[1].real, c.args[2].real, c.args[3].real, i(4));
    } else {
        return {false, -1, op + ": not an operation the player knows"};
    }

    CueOutcome out;
    out.result = r;
    out.ok = success == Success::zero ? r >= 0 : r == 1;
    out.text = op + " -> " + std::to_string(r);
    if (!out.ok) {
        const CString err = k.GetErrorText();
        if (!err.IsEmpty()) out.text += std::string(" (") + err.GetString() + ")";
    }
    return out;
}

} // namespace oa
