// The clock core: ticking, digit choice, face composition, placement and advances.
#include "effects/timer_core.h"

#include <algorithm>

#include "core/errors.h"

namespace zk::fx {
namespace {

constexpr long kOutputWidth = 720;
constexpr long kOutputHeight = 486;
constexpr std::int64_t kDayMs = 86'400'000;
// The longest step two readings may be apart and still count as time that passed: the old
// readings of seconds and milliseconds alone could not tell more than a minute either.
constexpr std::int64_t kLongestStepMs = 60'000;

unsigned shown_second(const CKrTm& t)
{
    return static_cast<unsigned>((t.GetMilCount() / 1000) % 60);
}

} // namespace

std::uint32_t time_reading(unsigned hour, unsigned minute, unsigned second, unsigned millisecond)
{
    const std::int64_t ms = ((std::int64_t{hour} * 60 + minute) * 60 + second) * 1000 + millisecond;
    return static_cast<std::uint32_t>(ms % kDayMs);
}

std::uint32_t reading_step(std::uint32_t previous, std::uint32_t now, std::uint32_t interval)
{
    std::int64_t step = (std::int64_t{now} - std::int64_t{previous}) % kDayMs;
    if (step < 0) step += kDayMs;  // across midnight, or a reading that went back
    if (step >= kLongestStepMs) return interval;
    return static_cast<std::uint32_t>(step);
}

unsigned tick_clocks(std::span<ClockRecord> records, std::uint32_t step)
{
    unsigned changed = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        ClockRecord& r = records[i];
        if (r.started == 0) continue;
        const bool down = r.count_mode == 1;
        if (!down) {
            r.value += static_cast<unsigned long>(step);
        } else if (r.value.GetMilCount() <= step) {
            // Reaching zero stops the clock on the tick it gets there.
            r.value.SetTime(0UL);
            r.started = 0;
        } else {
            r.value -= static_cast<unsigned long>(step);
        }
        if (r.stop_mode == 1 && (down ? r.value <= r.stop_time : r.value >= r.stop_time)) {
            r.value = r.stop_time;
            r.started = 0;
        }
        // Judged after the stop so that the display is woken for the value the clock keeps.
        const auto second = static_cast<unsigned short>(shown_second(r.value));
        if (second != r.last_second) changed |= 1u << i;
        r.last_second = second;
    }
    return changed;
}

void clock_decrease(CKrTm& value, const CKrTm& by)
{
    if (value < by) {
        value.SetTime(0UL);
    } else {
        value -= by;
    }
}

std::vector<int> clock_digit_images(int format, const CKrTm& value)
{
    const unsigned long count = value.GetMilCount();
    const auto seconds = static_cast<int>((count / 1000) % 60);
    std::vector<int> images;
    bool hours_shown = false;
    int minutes = 0;
    if (format == 1) {
        const auto hours = static_cast<int>((count / 3'600'000) % 100);
        minutes = static_cast<int>((count / 60'000) % 60);
        const int tens = hours / 10, units = hours % 10;
        hours_shown = hours != 0;
        images.push_back(tens != 0 ? tens : kImageBlankDigit);
        images.push_back(tens == 0 && units == 0 ? kImageBlankDigit : units);
        images.push_back(hours_shown ? kImageColon : kImageBlankColon);
    } else {
        minutes = static_cast<int>((count / 60'000) % 100);
    }
    images.push_back(!hours_shown && minutes / 10 == 0 ? kImageBlankDigit : minutes / 10);
    images.push_back(minutes % 10);
    images.push_back(kImageColon);
    images.push_back(seconds / 10);
    images.push_back(seconds % 10);
    return images;
}

long clock_face_width(int format, long digit_width, long colon_width)
{
    return format == 1 ? 2 * (colon_width + 3 * digit_width) : colon_width + 4 * digit_width;
}

int compose_clock(std::span<CKrFrameBuffer> images, std::span<const int> sequence, CKrFrameBuffer& face)
{
    if (face.IsBuffer() != 0 || images.size() != kClockImages) return ZK_FAIL(-1);
    for (const int k : sequence) {
        if (k < 0 || k >= kClockImages) return ZK_FAIL(-1);
    }
    // Cleared first, so an image that failed to load leaves a gap rather than an old digit.
    face.Clear();
    const auto height = static_cast<long>(face.GetHeight());
    long x = 0;
    for (const int k : sequence) {
        CKrFrameBuffer& image = images[static_cast<std::size_t>(k)];
        if (image.IsBuffer() != 0) continue;
        const auto width = static_cast<long>(image.GetWidth());
        face.FbCopy(&image, 0, 0, width, height, x, 0, 0, nullptr);
        x += width;
    }
    return 0;
}

POINT place_clock(long x, long y, long width, long height)
{
    x = std::max(x, 0L);
    y = std::max(y, 0L);
    if (x + width > kOutputWidth) x = std::max(kOutputWidth - width, 0L);
    if (y + height > kOutputHeight) y = std::max(kOutputHeight - height, 0L);
    return POINT{static_cast<LONG>(x), static_cast<LONG>(y)};
}

std::string clock_image_path(std::string_view path, int k)
{
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t base = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    const std::size_t end = dot != std::string_view::npos && dot >= base ? dot : path.size();
    return std::string(path.substr(0, end)) + std::to_string(k) + ".tga";
}

ClockAdvance clock_advance(long tenths)
{
    const unsigned long long magnitude =
        tenths < 0 ? 0ULL - static_cast<unsigned long long>(tenths) : static_cast<unsigned long long>(tenths);
    const unsigned long long ms = magnitude > 0xFFFFFFFFULL / 100 ? 0xFFFFFFFFULL : magnitude * 100;
    const CKrTm amount(static_cast<unsigned long>(ms));
    ClockAdvance a;
    a.add = tenths >= 0;
    a.hour = amount.GetHour();
    a.minute = amount.GetMinute();
    a.second = amount.GetSecond();
    a.millisecond = amount.GetMillisecond();
    return a;
}

} // namespace zk::fx
