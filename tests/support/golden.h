// Committed reference results ("goldens") for the tests: where they live, how a run is
// checked against them, and how they are rewritten on request.
//
// Layout, under tests/data/goldens/:
//   <suite>/<name>.pam           a still picture (PAM, see pam_image.h)
//   <suite>/<name>.f<field>.pam  one field of a long run kept as a picture for people; the
//                                field number is the run's own count from 0, in decimal
//   <suite>/<name>.fieldsums     a long run as a checksum list, one line per field:
//                                "<field> <width>x<height> <fill crc32> <key crc32>"
// A still picture may also be kept as a one-field run (field 0) when its PAM would be large.
//
// Pictures are exact by default; a case may declare a tolerance (the largest byte difference
// it accepts), and the report then still prints the largest and total difference. Checksums
// are exact. With ZORVIK_UPDATE_GOLDENS=1 the checks write the references instead of
// comparing, and the test is reported as skipped: a person looks at the result before it is
// committed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "framebuffer/kr_frame_buffer.h"

namespace zt {

// Suite and name are plain file-name words (letters, digits, '_' and '-'); anything else,
// and a negative field, throws std::invalid_argument.
std::string golden_path(std::string_view suite, std::string_view name);
std::string golden_path(std::string_view suite, std::string_view name, long field);
std::string field_sums_path(std::string_view suite, std::string_view name);

// CRC-32 as zlib and PNG compute it (reflected polynomial 0xEDB88320); `crc` continues one.
std::uint32_t crc32(std::span<const unsigned char> bytes, std::uint32_t crc = 0);

// One field of a run: its size, the CRC-32 of its colour bytes (blue, green, red of every
// pixel, in memory order) and the CRC-32 of its key bytes, kept apart so that a report can
// say which of the two changed.
struct FieldSum {
    long field = 0;
    unsigned long width = 0;
    unsigned long height = 0;
    std::uint32_t fill = 0;
    std::uint32_t key = 0;
    bool operator==(const FieldSum&) const = default;
};
// Pixels are width × height words in the frame buffer's layout; a size that does not match
// throws std::invalid_argument.
FieldSum field_sum(long field, std::span<const DWORD> pixels, unsigned long width, unsigned long height);
FieldSum field_sum(long field, const CKrFrameBuffer& picture);

std::string format_field_sums(std::span<const FieldSum> run);
// Reads what format_field_sums wrote (blank lines and '#' comments allowed). Fields must
// ascend; anything else is refused with the line named in *error.
bool parse_field_sums(std::string_view text, std::vector<FieldSum>& out, std::string* error);

enum class GoldenMode { compare, update };
// update when ZORVIK_UPDATE_GOLDENS is set to anything but "" or "0".
GoldenMode golden_mode();

enum class GoldenStatus { same, different, missing, written };
struct GoldenResult {
    GoldenStatus status = GoldenStatus::missing;
    long first_field = -1;  // checksum lists: the first field that differs, is missing or extra
    std::string report;     // empty when the run matched exactly
};

// The first field where the two lists part, and how many fields differ in all.
GoldenResult compare_field_sums(std::span<const FieldSum> reference, std::span<const FieldSum> run);
GoldenResult check_field_sums(const std::string& path, std::span<const FieldSum> run,
                              GoldenMode mode = golden_mode());
// A picture against a committed PAM: the same when no byte differs by more than `tolerance`.
GoldenResult check_picture(const std::string& path, const CKrFrameBuffer& picture, int tolerance = 0,
                           GoldenMode mode = golden_mode());

} // namespace zt

// Fails the test when the result is not `same`, with the report; skips it (naming what was
// written) when the reference was rewritten; prints the report of a tolerated difference.
#define EXPECT_GOLDEN(expression)                                                     \
    do {                                                                              \
        const ::zt::GoldenResult golden_result_ = (expression);                       \
        if (golden_result_.status == ::zt::GoldenStatus::written)                     \
            GTEST_SKIP() << golden_result_.report;                                    \
        EXPECT_TRUE(golden_result_.status == ::zt::GoldenStatus::same)                \
            << golden_result_.report;                                                 \
        if (golden_result_.status == ::zt::GoldenStatus::same && !golden_result_.report.empty()) \
            std::printf("%s\n", golden_result_.report.c_str());                       \
    } while (0)
