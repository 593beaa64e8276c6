// CKrFadeCtr: the legacy operations over the fade core and the frame player, and the player
// thread of each running fade.
#include "effects/kr_fade_ctr.h"

#include "core/errors.h"
#include "effects/fade_core.h"
#include "effects/field_worker.h"
#include "effects/frame_player.h"
#include "effects/gfb_field_write.h"
#include "framebuffer/kr_frame_buffer.h"
#include "onair/kr_gfb.h"
#include "onair/mq_graph.h"

using zk::fx::kFadeSlots;

struct CKrFadeCtr::Slot {
    // Shared between the host, the vertical-sync thread and the player.
    std::atomic<int> number{-1};  // -1: free
    std::atomic<int> start_requested{0};
    std::atomic<int> enabled{0};
    std::atomic<int> running{0};
    // Set while the slot does not run; the player reads them, and owns `state`, while it runs.
    zk::fx::FadeSetArgs args;
    zk::fx::PlayerParams params;
    zk::fx::PlayerState state;
    CKrFrameBuffer strip;
    zk::FieldWorker player;
};

namespace {

bool valid_number(int no)
{
    return no >= 0 && no < kFadeSlots;
}

} // namespace

CKrFadeCtr::CKrFadeCtr()
    : m_pSlots(std::make_unique<Slot[]>(kFadeSlots)), m_hProgress(CreateEvent(nullptr, FALSE, FALSE, nullptr))
{
}

CKrFadeCtr::~CKrFadeCtr()
{
    // No player outlives the controller: each is stopped and joined before the strips go.
    for (int i = 0; i < kFadeSlots; ++i) m_pSlots[i].player.stop();
    if (m_hProgress) CloseHandle(m_hProgress);
}

int CKrFadeCtr::Initial(CMQGraph* graph, CKrGfb* gfb)
{
    m_pGraph = graph;
    m_pGfb = gfb;
    return 1;
}

int CKrFadeCtr::Refuse(const char* text)
{
    zk::report_message("%s", text);
    return ZK_FAIL(0);
}

int CKrFadeCtr::FadeSet(int no, int mode, int speed, int delay, int desBank, int x, int y, int w, int h, int souBank)
{
    const zk::fx::FadeSetArgs args{no, mode, speed, delay, desBank, x, y, w, h, souBank};
    // Every argument, the mode included, is checked before the slot is touched, so a refused
    // call leaves a prepared fade as it was.
    const CString refusal = zk::fx::check_fade_set(args);
    if (!refusal.IsEmpty()) return Refuse(refusal);
    Slot& s = m_pSlots[no];
    if (s.number.load() != -1 && CFadeReset(no) == 0) {
        CString text;
        text.Format("FadeReset Err[%d]", no);
        return Refuse(text);
    }
    // A strip that cannot be built would leave a slot that shows nothing: say so, keep the
    // slot free and fail.
    CKrGfb* gfb = m_pGfb.load();
    if (!gfb || zk::fx::build_fade_strip(mode, *gfb->GetGfb(desBank), *gfb->GetGfb(souBank), x, y, w, h, speed,
                                         s.strip) != 0)
        return Refuse(zk::fx::fade_strip_error(no));
    s.args = args;
    s.params = zk::fx::fade_player_params(args);
    s.state = zk::fx::PlayerState{};
    s.start_requested = 1;
    s.number = no;
    return 1;
}

int CKrFadeCtr::CFadeStart()
{
    bool started = false;
    for (int i = 0; i < kFadeSlots; ++i) {
        Slot& s = m_pSlots[i];
        if (s.start_requested.exchange(0) == 0 || s.enabled.load() != 0 || s.running.load() != 0) continue;
        s.player.join();  // a run that ended by itself has left its thread, or is leaving it
        s.state = zk::fx::start_player(s.params);
        s.enabled = 1;
        if (!s.player.start([this, i](unsigned long field) { return PlayField(i, field); }, THREAD_PRIORITY_NORMAL,
                            "fade player")) {
            s.enabled = 0;
            ZK_FAIL(0);
            continue;
        }
        // Fields are handed over only once the player is there to take them.
        s.running = 1;
        started = true;
    }
    if (started) m_nActive = ++m_nStarts;
    return 1;
}

bool CKrFadeCtr::PlayField(int no, unsigned long field)
{
    Slot& s = m_pSlots[no];
    const zk::fx::PlayerOutcome out = zk::fx::player_step(s.state, s.params, field, s.enabled.load() != 0);
    if (out.write) {
        if (CMQGraph* graph = m_pGraph.load()) zk::write_field(*graph, s.strip, *out.write);
    }
    if (out.end == zk::fx::PlayerEnd::None) return true;
    s.enabled = 0;
    s.running = 0;
    return false;
}

int CKrFadeCtr::CFadeStop(int no)
{
    if (!valid_number(no)) {
        CString text;
        text.Format("FadeNo Err[%d]", no);
        return Refuse(text);
    }
    m_pSlots[no].enabled = 0;
    return 1;
}

int CKrFadeCtr::CFadeStopAll()
{
    for (int i = 0; i < kFadeSlots; ++i) m_pSlots[i].enabled = 0;
    return 1;
}

int CKrFadeCtr::CFadeReset(int no)
{
    if (!valid_number(no)) return ZK_FAIL(0);
    Slot& s = m_pSlots[no];
    if (s.number.load() == -1 || s.enabled.load() != 0 || s.running.load() != 0) return ZK_FAIL(0);
    s.player.join();
    s.strip.DeleteFrameBuffer();
    s.start_requested = 0;
    s.number = -1;
    return 1;
}

int CKrFadeCtr::CFadeResetAll()
{
    for (int i = 0; i < kFadeSlots; ++i) CFadeReset(i);
    return 1;
}

int CKrFadeCtr::FadeEventSet(unsigned long field)
{
    unsigned long active = m_nActive.load();
    if (active == 0) return 1;
    int running = 0;
    for (int i = 0; i < kFadeSlots; ++i) {
        Slot& s = m_pSlots[i];
        if (s.running.load() == 0) continue;
        s.player.post(field);
        ++running;
    }
    SetEvent(m_hProgress);
    // A start that came after the look at the slots has stored its own number: keep it.
    if (running == 0) m_nActive.compare_exchange_strong(active, 0);
    return 1;
}

int CKrFadeCtr::FadeWait()
{
    if (m_nActive.load() == 0) return 1;
    for (bool waited = false;; waited = true) {
        int running = 0;
        bool endless = false;
        for (int i = 0; i < kFadeSlots; ++i) {
            const Slot& s = m_pSlots[i];
            if (s.running.load() == 0) continue;
            ++running;
            endless = endless || s.params.passes == 0;
        }
        if (running == 0) return waited ? 0 : 1;
        if (endless) return 2;
        WaitForSingleObject(m_hProgress, 300);
    }
}

int CKrFadeCtr::FadeEndCopy()
{
    CKrGfb* gfb = m_pGfb.load();
    if (!gfb) return 1;
    for (int i = 0; i < kFadeSlots; ++i) {
        Slot& s = m_pSlots[i];
        if (s.number.load() == -1 || s.strip.IsBuffer() != 0) continue;
        const long frames = s.params.frames, w = s.args.width, h = s.args.height;
        gfb->GetGfb(s.args.dest_bank)->FbCopy(&s.strip, 0, (frames - 1) * h, w, h, s.args.x, s.args.y, 0, nullptr);
    }
    return 1;
}
