// The 2D DVE actions of the on-air control: set-up, one record a field, pause, break, wait.
#include "effects/dve_action_runner.h"

#include "effects/keyframe_out.h"

namespace zk {

DveActionRunner::DveActionRunner() : done_(CreateEvent(nullptr, FALSE, FALSE, nullptr)) {}

DveActionRunner::~DveActionRunner()
{
    if (done_) CloseHandle(done_);
}

void DveActionRunner::Initial(CMQGraph* graph, FieldWait* fields)
{
    std::lock_guard<std::mutex> guard(lock_);
    graph_ = graph;
    fields_ = fields;
    for (CKr2DdveAct& a : acts_) a.Initial(graph);
}

int DveActionRunner::send_locked(int act)
{
    const std::size_t a = static_cast<std::size_t>(act);
    return send_dve_record(graph_, fx::dve_fiesta_channel(act), *acts_[a].Get2DdveKeyframe()) >= 0 ? 1 : 0;
}

void DveActionRunner::end_locked(int act)
{
    if (state_[static_cast<std::size_t>(act)].exchange(0) != 0) SetEvent(done_);
}

int DveActionRunner::take_locked(int act, long count)
{
    end_locked(act);
    paused_[static_cast<std::size_t>(act)] = FALSE;
    runs_[static_cast<std::size_t>(act)] = Run{0, count, 0, 0};
    return setup_locked(act);
}

int DveActionRunner::setup_locked(int act)
{
    CKr2DdveAct& a = acts_[static_cast<std::size_t>(act)];
    Run& r = runs_[static_cast<std::size_t>(act)];
    if (r.count < 2 || !a.Setup2DParam(1)) return 0;
    r.pattern = 1;
    r.field = 0;
    r.fields = a.GetFieldMax(1);
    a.Set2DPosition(0, 1);
    return send_locked(act);
}

int DveActionRunner::Set2DCustom(const tag2DDVEPRM* params, long count, long act)
{
    if (!valid(act) || count < 2) return 0;
    std::lock_guard<std::mutex> guard(lock_);
    if (!acts_[static_cast<std::size_t>(act)].Set2D(params, count, act)) return 0;
    return take_locked(static_cast<int>(act), count);
}

int DveActionRunner::Set2DPtn(long pattern, long out, long fields, long act)
{
    if (!valid(act)) return 0;
    std::lock_guard<std::mutex> guard(lock_);
    if (!acts_[static_cast<std::size_t>(act)].Set2D(pattern, out, fields, act)) return 0;
    return take_locked(static_cast<int>(act), 2);
}

int DveActionRunner::Setup2DDveAct(long act)
{
    if (!valid(act)) return 0;
    std::lock_guard<std::mutex> guard(lock_);
    return setup_locked(static_cast<int>(act));
}

int DveActionRunner::Start2DDveAct(long act)
{
    if (!valid(act)) return 0;
    std::lock_guard<std::mutex> guard(lock_);
    const Run& r = runs_[static_cast<std::size_t>(act)];
    // A move that has played to its end starts again from its first pattern.
    if ((r.pattern < 1 || r.pattern >= r.count) && !setup_locked(static_cast<int>(act))) return 0;
    state_[static_cast<std::size_t>(act)] = 1;
    return send_locked(static_cast<int>(act));
}

void DveActionRunner::Act2DDveThread(long act)
{
    if (!valid(act)) return;
    const std::size_t i = static_cast<std::size_t>(act);
    std::lock_guard<std::mutex> guard(lock_);
    if (state_[i].load() != 1 || paused_[i].load()) return;
    CKr2DdveAct& a = acts_[i];
    Run& r = runs_[i];
    ++r.field;
    a.Set2DPosition(r.field, r.pattern);
    send_locked(static_cast<int>(act));
    if (r.field < r.fields) return;
    if (++r.pattern >= r.count) {
        end_locked(static_cast<int>(act));
        return;
    }
    a.Setup2DParam(r.pattern);
    r.fields = a.GetFieldMax(r.pattern);
    r.field = 0;
}

int DveActionRunner::Break2DDveAct(long act)
{
    const int a = valid(act) ? static_cast<int>(act) : 0;
    std::lock_guard<std::mutex> guard(lock_);
    end_locked(a);
    return 1;
}

int DveActionRunner::Pause2DDveAct(long act)
{
    if (!valid(act)) return 0;
    paused_[static_cast<std::size_t>(act)] = TRUE;
    return 1;
}

int DveActionRunner::ReStart2DDveAct(long act)
{
    if (!valid(act)) return 0;
    paused_[static_cast<std::size_t>(act)] = FALSE;
    return 1;
}

int DveActionRunner::Wait2DDveAct()
{
    if (!fields_) return 0;
    fields_->wait_then_two_fields(done_, [this] {
        for (int a = 0; a < kActions; ++a) {
            if (GetActState(a) != 0) return true;
        }
        return false;
    });
    return 1;
}

int DveActionRunner::position_direct(double x, double y, double width, double height, long act, bool pixels)
{
    const int a = valid(act) ? static_cast<int>(act) : 0;
    std::lock_guard<std::mutex> guard(lock_);
    CKr2DdveAct& action = acts_[static_cast<std::size_t>(a)];
    if (pixels) {
        action.PostionDirect2DChnage(x, y, width, height);
    } else {
        action.PostionDirect2D(x, y, width, height);
    }
    return send_locked(a);
}

int DveActionRunner::PostionDirect2DDve(double x, double y, double width, double height, long act)
{
    return position_direct(x, y, width, height, act, false);
}

int DveActionRunner::PostionDirect2DDveChnage(double x, double y, double width, double height, long act)
{
    return position_direct(x, y, width, height, act, true);
}

void DveActionRunner::step_field()
{
    for (int a = 0; a < kActions; ++a) {
        if (state_[static_cast<std::size_t>(a)].load() == 1) Act2DDveThread(a);
    }
}

MQVIDFX_2DDVE_KEYFRAME DveActionRunner::GetActKeyframe(long act)
{
    const int a = valid(act) ? static_cast<int>(act) : 0;
    std::lock_guard<std::mutex> guard(lock_);
    return *acts_[static_cast<std::size_t>(a)].Get2DdveKeyframe();
}

} // namespace zk
