// The clock core: how running clocks advance between two readings of the time of day, which
// digit images show a clock's value, how they are laid into the clock's face, where the face
// may stand on the output, and what a step in tenths of a second adds or takes away.
//
// Readings are times of day in milliseconds (hours included). The step between two readings
// is their difference, across midnight too; a step longer than a minute, or a reading that went
// back, is a clock that was set (or a worker that stalled) rather than time that passed, and
// counts as one tick interval, so setting the system clock never throws running clocks about.
//
// Digit images are numbered 0 to 9 for the digits, 10 the colon, 11 a blank digit and 12 a
// blank colon. Format 0 shows minutes and seconds, format 1 hours, minutes and seconds; leading
// zeros of the first shown unit are blanked (a blank hour field also blanks its colon). The
// digits come from the value's millisecond count: format 0 shows the whole minutes (a 90-minute
// period reads 90:00), format 1 the whole hours; a unit beyond two digits shows its last two.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "effects/kr_tm.h"
#include "framebuffer/kr_frame_buffer.h"

namespace zk::fx {

constexpr int kClocks = 4;
constexpr int kClockImages = 13;
constexpr int kImageColon = 10;
constexpr int kImageBlankDigit = 11;
constexpr int kImageBlankColon = 12;

// One clock as the timer keeps it.
struct ClockRecord {
    CKrTm value;
    long started = 0;
    long count_mode = 0;  // 0 counts up, 1 counts down
    long stop_mode = 0;   // 1: stop at stop_time
    CKrTm stop_time;
    unsigned short last_second = 0;
};

// A time of day as a reading: milliseconds since midnight.
std::uint32_t time_reading(unsigned hour, unsigned minute, unsigned second, unsigned millisecond);

// The time that passed between two readings; `interval` stands in for a reading that jumped.
std::uint32_t reading_step(std::uint32_t previous, std::uint32_t now, std::uint32_t interval);

// Advances every started record by `step` milliseconds: counting up, or down to zero where it
// stops; a record with a stop time stops there. Returns a bit per record (bit i for record i)
// whose shown second changed, judged on the value the record is left with.
unsigned tick_clocks(std::span<ClockRecord> records, std::uint32_t step);

// CKrTimer::TmDec: takes `by` away, stopping at zero instead of wrapping.
void clock_decrease(CKrTm& value, const CKrTm& by);

// The images showing `value` in `format` (0, or 1), left to right.
std::vector<int> clock_digit_images(int format, const CKrTm& value);

// The face's size: format 0 colon + 4 digits, format 1 two colons + 6 digits.
long clock_face_width(int format, long digit_width, long colon_width);

// Lays the images into `face` from its left edge, each at full height, x moving on by each
// image's width; what no image covers is left transparent. `images` holds the thirteen
// images (an empty one draws nothing but still counts as width 0). Returns 0, or -1 when the
// face holds no pixels or the image set is not thirteen.
int compose_clock(std::span<CKrFrameBuffer> images, std::span<const int> sequence, CKrFrameBuffer& face);

// Keeps a face of width × height on the 720 × 486 output: at least 0, pulled back from the right
// and bottom edges (a face larger than the output stays at 0).
POINT place_clock(long x, long y, long width, long height);

// The path of digit image k: the drive, folder and base name of `path` (its extension dropped),
// then k in decimal and ".tga".
std::string clock_image_path(std::string_view path, int k);

// SetTmAdvTime: |tenths| × 100 ms as hours, minutes, seconds and milliseconds, added when
// tenths ≥ 0 and taken away otherwise. An amount past the 32-bit millisecond range is held at
// its largest value.
struct ClockAdvance {
    bool add = true;
    unsigned short hour = 0, minute = 0, second = 0, millisecond = 0;

    friend bool operator==(const ClockAdvance&, const ClockAdvance&) = default;
};
ClockAdvance clock_advance(long tenths);

} // namespace zk::fx
