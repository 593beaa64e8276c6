// CKrAnimeCtr: the slots, their loaders and the per-field players over the frame player.
//
// All timing lives in the frame player (effects/frame_player.h); this file maps the legacy
// arguments to its parameters, runs it on each slot's worker and writes what it asks for into
// the graphics output.
#include "effects/kr_anime_ctr.h"

#include <cstdarg>
#include <mutex>
#include <optional>
#include <string>

#include "core/errors.h"
#include "effects/anime_core.h"
#include "effects/field_worker.h"
#include "effects/frame_player.h"
#include "imagefile/targa_image.h"
#include "onair/kr_gfb.h"
#include "onair/mq_graph.h"

namespace zk {

// One animation. The numbers and the strip are the host's: set while the slot is not playing
// and only read by its worker while it plays (starting the worker publishes them). The flags
// cross threads and are atomics.
struct AnimeSlot {
    std::atomic<long> number{-1}; // -1: free
    long frames = 0;
    long unused1 = 0;
    long src_x = 0, src_y = 0;
    long width = 0, height = 0;
    long unused2 = 0;
    long dst_x = 0, dst_y = 0;
    long passes = 0, delay = 0, hold = 0;
    long stop_at_once = 0;
    std::atomic<long> start_requested{0};
    std::atomic<long> enabled{0};
    std::atomic<long> running{0};
    std::atomic<long> fields{0};        // fields seen by the player

    CKrFrameBuffer strip;
    std::mutex strip_lock; // one field write, or one composite into the strip

    // The player's own while it plays.
    fx::PlayerParams params;
    fx::PlayerState state;
    FieldWorker worker;

    // Back to free, the strip dropped. Only when no worker plays it.
    void clear()
    {
        {
            std::lock_guard<std::mutex> guard(strip_lock);
            strip.DeleteFrameBuffer();
        }
        frames = unused1 = src_x = src_y = width = height = unused2 = dst_x = dst_y = 0;
        passes = delay = hold = stop_at_once = 0;
        start_requested = 0;
        enabled = 0;
        running = 0;
        fields = 0;
        number = -1;
    }
};

namespace {

constexpr int kLayerUnder = 1; // the bank's picture under the frames
constexpr int kLayerOver = 2;  // the bank's picture over the frames

} // namespace
} // namespace zk

using zk::AnimeSlot;

CKrAnimeCtr::CKrAnimeCtr()
    : m_pSlot(std::make_unique<AnimeSlot[]>(kSlots)), m_hProgress(CreateEvent(nullptr, FALSE, FALSE, nullptr))
{
}

CKrAnimeCtr::~CKrAnimeCtr()
{
    // No player may outlive the strips and the graph it writes from.
    for (int i = 0; i < kSlots; ++i) m_pSlot[i].worker.stop();
    if (m_hProgress) CloseHandle(m_hProgress);
}

int CKrAnimeCtr::Initial(CMQGraph* graph, CKrGfb* gfb)
{
    m_pGraph = graph;
    m_pGfb = gfb;
    return 1;
}

AnimeSlot* CKrAnimeCtr::slot_of(int no) const
{
    return no >= 0 && no < kSlots ? &m_pSlot[no] : nullptr;
}

int CKrAnimeCtr::fail(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    m_strErr.FormatV(fmt, args);
    va_end(args);
    zk::report_message("%s", m_strErr.GetString());
    return 0;
}

int CKrAnimeCtr::CAnimeSet1(int no, int frames, int unused1, POINT src, int width, int height, int unused2,
                            POINT dst)
{
    const CString refused = zk::fx::check_anime_set1(no, frames, width, height);
    if (!refused.IsEmpty()) return fail("%s", refused.GetString());
    AnimeSlot& s = *slot_of(no);
    if (s.number.load() != -1 && CAnimeReset(no) == 0) return fail("AnimeReset Err[%d]", no);
    s.clear();
    // The strip's height is checked by the frame buffer against the largest block it makes.
    if (s.strip.CreateFrameBuffer(width, static_cast<long>(frames) * height, 1) != 0) return fail("AnimeAlloc Err[%d]", no);
    s.frames = frames;
    s.unused1 = unused1;
    s.src_x = src.x;
    s.src_y = src.y;
    s.width = width;
    s.height = height;
    s.unused2 = unused2;
    s.dst_x = dst.x;
    s.dst_y = dst.y;
    s.number = no;
    return 1;
}

AnimeSlot* CKrAnimeCtr::loadable(int no)
{
    AnimeSlot* s = slot_of(no);
    if (!s) {
        fail("AnimeNo Err[%d]", no);
        return nullptr;
    }
    if (s->number.load() == -1 || s->strip.IsBuffer() != 0) {
        fail("AnimeDataNotInitErr[%d]", no);
        return nullptr;
    }
    return s;
}

template <class Load>
int CKrAnimeCtr::load_layered(AnimeSlot& s, int bank, int layer, Load&& load)
{
    CKrGfb* gfb = m_pGfb.load();
    const bool layered = gfb && bank != -1 && (layer == zk::kLayerUnder || layer == zk::kLayerOver);
    // The picture the animation will cover on the output. A bank outside 0-3 gives none, and
    // the frames then load alone.
    CKrFrameBuffer under;
    if (layered && gfb->GetImg_Sel(bank, &under, s.dst_x, s.dst_y, s.width, s.height, nullptr) != 0) {
        under.DeleteFrameBuffer();
    }
    const bool have_under = under.IsBuffer() == 0;
    if (have_under && layer == zk::kLayerUnder) {
        for (long k = 0; k < s.frames; ++k) {
            std::lock_guard<std::mutex> guard(s.strip_lock);
            s.strip.FbCopy(&under, 0, 0, s.width, s.height, 0, k * s.height, 0, nullptr);
        }
    }
    if (load() == 0) return 0;
    if (have_under && layer == zk::kLayerOver) {
        for (long k = 0; k < s.frames; ++k) {
            std::lock_guard<std::mutex> guard(s.strip_lock);
            s.strip.FbCopy(&under, 0, 0, s.width, s.height, 0, k * s.height, 1, nullptr);
        }
    }
    return 1;
}

namespace {

bool load_targa(const std::string& path, CKrFrameBuffer& into)
{
    CKrTargaImage tga;
    CString name(path);
    into.DeleteFrameBuffer();
    return tga.LoadImage(&name, &into) == 0;
}

} // namespace

int CKrAnimeCtr::CAnimeLoad(int no, int first, int bank, int layer, char* format, int resize)
{
    AnimeSlot* s = loadable(no);
    if (!s) return 0;
    const std::string_view pattern = format ? format : "";
    if (!zk::fx::frame_name_pattern_ok(pattern)) return fail("AnimeImageLoadErr[%s]", std::string(pattern).c_str());
    return load_layered(*s, bank, layer, [&] {
        CKrFrameBuffer picture, resized;
        for (long k = 0; k < s->frames; ++k) {
            const std::optional<std::string> name = zk::fx::format_frame_name(pattern, static_cast<long long>(first) + k);
            if (!name || !load_targa(*name, picture)) return fail("AnimeImageLoadErr[%s]", name ? name->c_str() : "");
            CKrFrameBuffer* frame = &picture;
            if (resize != 0) {
                resized.DeleteFrameBuffer();
                if (picture.SizeChange(&resized, s->width, s->height) != 0) return fail("AnimeImageLoadErr[%s]", name->c_str());
                frame = &resized;
            }
            std::lock_guard<std::mutex> guard(s->strip_lock);
            s->strip.FbCopy(frame, 0, 0, s->width, s->height, 0, k * s->height, 1, nullptr);
        }
        return 1;
    });
}

int CKrAnimeCtr::CAnimeLoad_AniImg(int no, int bank, int layer, char* name)
{
    AnimeSlot* s = loadable(no);
    if (!s) return 0;
    const std::string path = name ? name : "";
    return load_layered(*s, bank, layer, [&] {
        CKrFrameBuffer picture;
        if (!load_targa(path, picture)) return fail("AnimeImageLoadErr[%s]", path.c_str());
        std::lock_guard<std::mutex> guard(s->strip_lock);
        s->strip.FbCopy(&picture, 0, 0, static_cast<long>(picture.GetWidth()), static_cast<long>(picture.GetHeight()),
                        0, 0, 1, nullptr);
        return 1;
    });
}

int CKrAnimeCtr::CAnimeSave(int no, char* name)
{
    AnimeSlot* s = loadable(no);
    if (!s) return 0;
    CString path(name ? name : "");
    // Saved from a copy, so a playing strip is not held while the file is written.
    CKrFrameBuffer copy;
    {
        std::lock_guard<std::mutex> guard(s->strip_lock);
        copy = s->strip;
    }
    CKrTargaImage tga;
    if (copy.IsBuffer() != 0 || tga.SaveImage(&path, &copy, 1) != 0) return fail("AnimeImageSaveErr[%s]", path.GetString());
    return 1;
}

int CKrAnimeCtr::CAnimeSet2(int no, int passes, int delay, int hold, int stopAtOnce)
{
    AnimeSlot* s = slot_of(no);
    if (!s) return fail("AnimeNo Err[%d]", no);
    if (s->number.load() == -1) return fail("AnimeDataNotInitErr[%d]", no);
    if (s->enabled.load() != 0 || s->running.load() != 0) return fail("Anime Now Go Err[%d]", no);
    s->passes = passes;
    s->delay = delay;
    s->hold = hold;
    s->stop_at_once = stopAtOnce;
    s->fields = 0;
    s->start_requested = 1;
    return 1;
}

int CKrAnimeCtr::CAnimeStart()
{
    bool started = false;
    for (int no = 0; no < kSlots; ++no) {
        AnimeSlot& s = m_pSlot[no];
        if (s.start_requested.exchange(0) == 0) continue;
        if (s.enabled.load() != 0 || s.running.load() != 0) continue;
        s.params = zk::fx::anime_player_params(s.frames, s.src_x, s.src_y, s.width, s.height, s.dst_x, s.dst_y,
                                               s.passes, s.delay, s.hold, s.stop_at_once != 0);
        s.state = zk::fx::start_player(s.params);
        s.fields = 0;
        s.enabled = 1;
        s.running = 1;
        const bool ok = s.worker.start([this, no](unsigned long field) { return CAnimeWatchProc(no, field) != FALSE; },
                                       THREAD_PRIORITY_NORMAL, "animation player");
        if (!ok) {
            s.enabled = 0;
            s.running = 0;
            continue;
        }
        started = true;
    }
    if (started) m_bActive = 1;
    return 1;
}

BOOL CKrAnimeCtr::CAnimeWatchProc(int no, unsigned long field)
{
    AnimeSlot* s = slot_of(no);
    if (!s) return FALSE;
    const zk::fx::PlayerOutcome out = zk::fx::player_step(s->state, s->params, field, s->enabled.load() != 0);
    s->fields = s->state.fields;
    if (out.write) {
        if (CMQGraph* graph = m_pGraph.load()) {
            const zk::fx::FieldWrite& w = *out.write;
            std::lock_guard<std::mutex> guard(s->strip_lock);
            const auto* pixels = s->strip.GetBufferByte();
            const auto sw = static_cast<long>(s->strip.GetWidth()), sh = static_cast<long>(s->strip.GetHeight());
            if (w.field == zk::fx::Field::Second) {
                graph->GfbFrWrite_Second(pixels, sw, sh, w.src_x, w.src_y, w.width, w.height, w.dst_x, w.dst_y);
            } else {
                graph->GfbFrWrite_First(pixels, sw, sh, w.src_x, w.src_y, w.width, w.height, w.dst_x, w.dst_y);
            }
        }
    }
    switch (out.end) {
    case zk::fx::PlayerEnd::Passes:
        s->enabled = 0;
        s->running = 0;
        return FALSE;
    case zk::fx::PlayerEnd::Stopped:
        s->running = 0;
        return FALSE;
    case zk::fx::PlayerEnd::None:
        break;
    }
    return TRUE;
}

int CKrAnimeCtr::CAnimeStop(int no)
{
    AnimeSlot* s = slot_of(no);
    if (!s) return fail("AnimeNo Err[%d]", no);
    s->enabled = 0;
    return 1;
}

int CKrAnimeCtr::CAnimeStopAll()
{
    for (int no = 0; no < kSlots; ++no) m_pSlot[no].enabled = 0;
    return 1;
}

int CKrAnimeCtr::CAnimeReset(int no)
{
    AnimeSlot* s = slot_of(no);
    if (!s || s->number.load() == -1 || s->enabled.load() != 0 || s->running.load() != 0) return 0;
    s->worker.join(); // a player that ended by itself has left its thread to be released
    s->clear();
    return 1;
}

void CKrAnimeCtr::AnimeEventSet(unsigned long field)
{
    if (m_bActive.load() == 0) return;
    bool any = false;
    for (int no = 0; no < kSlots; ++no) {
        AnimeSlot& s = m_pSlot[no];
        if (s.running.load() == 0) continue;
        s.worker.post(field);
        any = true;
    }
    if (!any) m_bActive = 0;
    SetEvent(m_hProgress);
}

int CKrAnimeCtr::running_count() const
{
    int n = 0;
    for (int no = 0; no < kSlots; ++no) n += m_pSlot[no].running.load() != 0;
    return n;
}

int CKrAnimeCtr::AnimeWait()
{
    if (m_bActive.load() == 0 || running_count() == 0) return 1;
    for (int no = 0; no < kSlots; ++no) {
        const AnimeSlot& s = m_pSlot[no];
        if (s.running.load() != 0 && s.params.passes == 0) return 2;
    }
    do {
        WaitForSingleObject(m_hProgress, 300);
    } while (m_bActive.load() != 0 && running_count() != 0);
    return 0;
}

const CKrFrameBuffer* CKrAnimeCtr::strip(int no) const
{
    const AnimeSlot* s = slot_of(no);
    return s ? &s->strip : nullptr;
}

bool CKrAnimeCtr::prepared(int no) const
{
    const AnimeSlot* s = slot_of(no);
    return s && s->number.load() != -1;
}

bool CKrAnimeCtr::enabled(int no) const
{
    const AnimeSlot* s = slot_of(no);
    return s && s->enabled.load() != 0;
}

bool CKrAnimeCtr::playing(int no) const
{
    const AnimeSlot* s = slot_of(no);
    return s && s->running.load() != 0;
}

long CKrAnimeCtr::fields_seen(int no) const
{
    const AnimeSlot* s = slot_of(no);
    return s ? s->fields.load() : 0;
}
