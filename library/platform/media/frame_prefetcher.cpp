// The prefetcher's plan, queue and worker. See frame_prefetcher.h.
//
// Pictures circulate and are never made after start: capacity + 2 of them, one being decoded,
// up to `capacity` queued, one shown. A picture moves between the spare list, the worker, the
// queue and the consumer's current() by swapping pointers under the lock.
#include "platform/media/frame_prefetcher.h"

#include <algorithm>
#include <cmath>

#include "core/checked.h"

namespace zk {
namespace {

constexpr std::size_t kMaxQueue = 64;
constexpr std::size_t kKeptMisses = 64;
// Speeds slower than this hold the frame; plans end after this many steps.
constexpr double kMinSpeed = 1e-6;
constexpr double kMaxStep = 1e15;

} // namespace

FramePrefetcher::FramePrefetcher(FrameSource& source, int queue_frames)
    : source_(source), capacity_(std::clamp<std::size_t>(static_cast<std::size_t>(std::max(queue_frames, 1)), 1, kMaxQueue)),
      wake_(CreateEvent(nullptr, FALSE, FALSE, nullptr)), current_(std::make_unique<VideoPicture>())
{
}

FramePrefetcher::~FramePrefetcher()
{
    stop();
    if (wake_) CloseHandle(wake_);
}

MediaStatus FramePrefetcher::start()
{
    if (thread_.running()) return ZK_MEDIA_FAIL(kMediaBadArgument, "the prefetcher runs already");
    const long long count = source_.frame_count();
    const int w = source_.width();
    const int h = source_.height();
    std::size_t bytes = 0;
    if (count < 1 || !image_bytes(w, h, 4, bytes) || bytes == 0)
        return ZK_MEDIA_FAIL(kMediaBadArgument, "nothing to prefetch: the source has no frames");
    std::vector<std::unique_ptr<VideoPicture>> pictures;
    for (std::size_t i = 0; i < capacity_ + 2; ++i) {
        auto p = std::make_unique<VideoPicture>();
        p->width = w;
        p->height = h;
        p->pixels.assign(bytes / 4, 0);
        pictures.push_back(std::move(p));
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        current_ = std::move(pictures.back());
        pictures.pop_back();
        spare_ = std::move(pictures);
        queue_.clear();
        frame_count_ = count;
        quit_ = false;
        in_flight_ = -1;
        plan_ = Plan{};
        replan(0, 1.0);
    }
    if (!wake_ || !thread_.start(&FramePrefetcher::run, this, THREAD_PRIORITY_NORMAL, "frame prefetcher"))
        return ZK_MEDIA_FAIL(kMediaBadArgument, "cannot start the prefetcher's thread");
    return {};
}

void FramePrefetcher::stop()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        quit_ = true;
    }
    if (wake_) SetEvent(wake_);
    thread_.join();
}

UINT FramePrefetcher::run(LPVOID self)
{
    static_cast<FramePrefetcher*>(self)->work();
    return 0;
}

void FramePrefetcher::work()
{
    for (;;) {
        long long frame = -1;
        unsigned long long generation = 0;
        std::unique_ptr<VideoPicture> picture;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (quit_) return;
            if (queue_.size() < capacity_ && !spare_.empty() && next_planned(frame)) {
                picture = std::move(spare_.back());
                spare_.pop_back();
                generation = plan_.generation;
                in_flight_ = frame;
                in_flight_generation_ = generation;
            }
        }
        if (!picture) {
            // Nothing to do until the consumer takes a frame or changes the plan.
            if (WaitForSingleObject(wake_, INFINITE) != WAIT_OBJECT_0) return;
            continue;
        }
        MediaStatus status = source_.decode_frame(frame, *picture);
        picture->frame = frame;
        std::lock_guard<std::mutex> guard(lock_);
        in_flight_ = -1;
        if (generation == plan_.generation) {
            queue_.push_back(Entry{frame, std::move(status), std::move(picture)});
            ++counts_.decoded;
        } else {
            spare_.push_back(std::move(picture));
            ++counts_.discarded;
        }
    }
}

bool FramePrefetcher::next_planned(long long& frame)
{
    Plan& p = plan_;
    while (!p.done) {
        if (p.speed != 0 && p.last >= 0) {
            // Straight to the first step past the frame handed out last.
            const double need = std::fabs(static_cast<double>(p.last - p.origin)) + 1.0;
            const double step = std::ceil(need / std::fabs(p.speed) - 1e-9);
            if (step > kMaxStep) {
                p.done = true;
                break;
            }
            p.step = std::max(p.step, static_cast<long long>(step));
        }
        const double at = static_cast<double>(p.origin) + std::trunc(static_cast<double>(p.step) * p.speed);
        if (at < 0 || at >= static_cast<double>(frame_count_)) {
            p.done = true;
            break;
        }
        const auto f = static_cast<long long>(at);
        ++p.step;
        if (p.speed == 0) p.done = true; // a held frame: once
        if (f == p.last) continue;
        p.last = f;
        frame = f;
        return true;
    }
    return false;
}

void FramePrefetcher::replan(long long frame, double speed)
{
    drop_queue(queue_.size());
    plan_.origin = frame;
    plan_.speed = std::isfinite(speed) && std::fabs(speed) >= kMinSpeed ? speed : 0.0;
    plan_.step = 0;
    plan_.last = -1;
    plan_.done = false;
    ++plan_.generation;
    // The frame on show needs no decoding again.
    if (current_ && current_->frame == frame) {
        plan_.last = frame;
        plan_.step = 1;
        if (plan_.speed == 0) plan_.done = true;
    }
}

void FramePrefetcher::drop_queue(std::size_t count)
{
    for (std::size_t i = 0; i < count && !queue_.empty(); ++i) {
        spare_.push_back(std::move(queue_.front().picture));
        queue_.pop_front();
        ++counts_.discarded;
    }
}

long long FramePrefetcher::queued_index(long long frame) const
{
    for (std::size_t i = 0; i < queue_.size(); ++i)
        if (queue_[i].frame == frame) return static_cast<long long>(i);
    return -1;
}

void FramePrefetcher::cue(long long frame, double speed)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        const long long at = queued_index(frame);
        const bool coming = in_flight_ == frame && in_flight_generation_ == plan_.generation;
        if (speed == plan_.speed && at >= 0) {
            drop_queue(static_cast<std::size_t>(at)); // the plan already goes there
        } else if (speed == plan_.speed && coming) {
            drop_queue(queue_.size());
        } else {
            replan(frame, speed);
        }
    }
    SetEvent(wake_);
}

TakeResult FramePrefetcher::take(long long frame)
{
    TakeResult result = TakeResult::ready;
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++counts_.takes;
        if (current_->frame == frame && frame >= 0) {
            ++counts_.ready;
            return TakeResult::ready; // shown already: nothing changes, nobody to wake
        }
        const long long at = queued_index(frame);
        if (at >= 0) {
            drop_queue(static_cast<std::size_t>(at)); // passed over
            Entry& e = queue_.front();
            if (e.status.ok()) {
                std::swap(current_, e.picture);
                ++counts_.ready;
            } else {
                error_ = e.status.text;
                ++counts_.failures;
                result = TakeResult::failed;
            }
            spare_.push_back(std::move(e.picture));
            queue_.pop_front();
        } else if (frame < 0 || frame >= frame_count_) {
            ++counts_.failures;
            error_ = "frame " + std::to_string(frame) + " is outside the clip";
            return TakeResult::failed;
        } else {
            ++counts_.misses;
            counts_.last_missed = frame;
            misses_.push_back(frame);
            if (misses_.size() > kKeptMisses) misses_.pop_front();
            result = TakeResult::not_ready;
            if (in_flight_ == frame && in_flight_generation_ == plan_.generation) drop_queue(queue_.size()); // it is on its way
            else replan(frame, plan_.speed);
        }
    }
    SetEvent(wake_); // room in the queue, or a new plan
    return result;
}

const VideoPicture& FramePrefetcher::current() const
{
    return *current_;
}

PrefetchCounts FramePrefetcher::counts() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return counts_;
}

std::vector<long long> FramePrefetcher::recent_misses() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return {misses_.begin(), misses_.end()};
}

std::string FramePrefetcher::last_error() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return error_;
}

} // namespace zk
