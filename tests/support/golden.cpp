// Golden paths, field checksum lists and picture comparisons for the tests (see golden.h).
#include "support/golden.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "support/pam_image.h"

namespace zt {
namespace {

constexpr std::array<std::uint32_t, 256> make_crc_table()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = make_crc_table();

void check_word(std::string_view what, std::string_view word)
{
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
    if (!plain) throw std::invalid_argument("golden " + std::string(what) + " \"" + std::string(word) + "\" is not a plain word");
}

std::string golden_base(std::string_view suite, std::string_view name)
{
    check_word("suite", suite);
    check_word("name", name);
    return std::string(ZORVIK_TEST_DATA) + "/goldens/" + std::string(suite) + "/" + std::string(name);
}

std::string hex8(std::uint32_t v)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08x", v);
    return text;
}

std::string size_text(unsigned long w, unsigned long h) { return std::to_string(w) + "x" + std::to_string(h); }

template <typename T>
bool parse_number(std::string_view text, T& value, int base = 10)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool parse_line(std::string_view line, FieldSum& sum, std::string& why)
{
    std::istringstream fields{std::string(line)};
    std::string field, size, fill, key, extra;
    if (!(fields >> field >> size >> fill >> key) || (fields >> extra)) {
        why = "expected \"<field> <width>x<height> <fill crc32> <key crc32>\"";
        return false;
    }
    const auto x = size.find('x');
    if (!parse_number(field, sum.field) || sum.field < 0) {
        why = "bad field number \"" + field + "\"";
        return false;
    }
    if (x == std::string::npos || !parse_number(std::string_view(size).substr(0, x), sum.width) ||
        !parse_number(std::string_view(size).substr(x + 1), sum.height)) {
        why = "bad size \"" + size + "\"";
        return false;
    }
    if (fill.size() != 8 || key.size() != 8 || !parse_number(fill, sum.fill, 16) || !parse_number(key, sum.key, 16)) {
        why = "checksums must be 8 hexadecimal digits";
        return false;
    }
    return true;
}

// What differs between two entries of the same field.
std::string describe(const FieldSum& reference, const FieldSum& run)
{
    if (reference.width != run.width || reference.height != run.height)
        return "size " + size_text(run.width, run.height) + ", reference " + size_text(reference.width, reference.height);
    std::string out;
    if (reference.fill != run.fill) out = "fill " + hex8(run.fill) + ", reference " + hex8(reference.fill);
    if (reference.key != run.key) {
        if (!out.empty()) out += "; ";
        out += "key " + hex8(run.key) + ", reference " + hex8(reference.key);
    }
    return out;
}

bool ascending(std::span<const FieldSum> run, long* offending)
{
    for (std::size_t i = 1; i < run.size(); ++i) {
        if (run[i].field <= run[i - 1].field) {
            *offending = run[i].field;
            return false;
        }
    }
    return true;
}

bool write_text(const std::string& path, const std::string& text)
{
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::string missing_report(const std::string& path)
{
    return "missing reference " + path + " (ZORVIK_UPDATE_GOLDENS=1 writes it; look at it before committing)";
}

} // namespace

std::string golden_path(std::string_view suite, std::string_view name) { return golden_base(suite, name) + ".pam"; }

std::string golden_path(std::string_view suite, std::string_view name, long field)
{
    if (field < 0) throw std::invalid_argument("golden field " + std::to_string(field) + " is negative");
    return golden_base(suite, name) + ".f" + std::to_string(field) + ".pam";
}

std::string field_sums_path(std::string_view suite, std::string_view name)
{
    return golden_base(suite, name) + ".fieldsums";
}

std::uint32_t crc32(std::span<const unsigned char> bytes, std::uint32_t crc)
{
    crc = ~crc;
    for (unsigned char b : bytes) crc = kCrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

FieldSum field_sum(long field, std::span<const DWORD> pixels, unsigned long width, unsigned long height)
{
    if (pixels.size() != static_cast<std::size_t>(width) * height)
        throw std::invalid_argument("field " + std::to_string(field) + ": " + std::to_string(pixels.size()) +
                                    " pixels for a size of " + size_text(width, height));
    FieldSum sum{field, width, height, 0, 0};
    // A row at a time keeps the work buffers small for whole frames.
    std::vector<unsigned char> fill, key;
    const std::size_t row = width ? width : 1;
    for (std::size_t start = 0; start < pixels.size(); start += row) {
        fill.clear();
        key.clear();
        for (DWORD p : pixels.subspan(start, std::min(row, pixels.size() - start))) {
            fill.push_back(static_cast<unsigned char>(p));
            fill.push_back(static_cast<unsigned char>(p >> 8));
            fill.push_back(static_cast<unsigned char>(p >> 16));
            key.push_back(static_cast<unsigned char>(p >> 24));
        }
        sum.fill = crc32(fill, sum.fill);
        sum.key = crc32(key, sum.key);
    }
    return sum;
}

FieldSum field_sum(long field, const CKrFrameBuffer& picture)
{
    const std::size_t n = static_cast<std::size_t>(picture.GetWidth()) * picture.GetHeight();
    const DWORD* p = picture.GetBufferDWord();
    return field_sum(field, std::span<const DWORD>(p, p ? n : 0), picture.GetWidth(), picture.GetHeight());
}

std::string format_field_sums(std::span<const FieldSum> run)
{
    std::string out = "# field size fill-crc32 key-crc32\n";
    for (const FieldSum& s : run)
        out += std::to_string(s.field) + " " + size_text(s.width, s.height) + " " + hex8(s.fill) + " " + hex8(s.key) + "\n";
    return out;
}

bool parse_field_sums(std::string_view text, std::vector<FieldSum>& out, std::string* error)
{
    out.clear();
    long line_no = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') continue;
        FieldSum sum;
        std::string why;
        if (parse_line(line, sum, why) && !out.empty() && sum.field <= out.back().field)
            why = "field " + std::to_string(sum.field) + " does not follow field " + std::to_string(out.back().field);
        if (!why.empty()) {
            if (error) *error = "line " + std::to_string(line_no) + ": " + why;
            out.clear();
            return false;
        }
        out.push_back(sum);
    }
    return true;
}

GoldenMode golden_mode()
{
    const char* env = std::getenv("ZORVIK_UPDATE_GOLDENS");
    return env && *env && std::string_view(env) != "0" ? GoldenMode::update : GoldenMode::compare;
}

GoldenResult compare_field_sums(std::span<const FieldSum> reference, std::span<const FieldSum> run)
{
    GoldenResult result;
    long offending = 0;
    if (!ascending(run, &offending)) {
        result.status = GoldenStatus::different;
        result.first_field = offending;
        result.report = "the run's fields do not ascend at field " + std::to_string(offending);
        return result;
    }
    long differing = 0;
    std::string first;
    auto note = [&](long field, const std::string& what) {
        if (differing++ == 0) {
            result.first_field = field;
            first = what;
        }
    };
    std::size_t i = 0, j = 0;
    while (i < reference.size() || j < run.size()) {
        if (j == run.size() || (i < reference.size() && reference[i].field < run[j].field)) {
            note(reference[i].field, "in the reference but not in the run");
            ++i;
        } else if (i == reference.size() || run[j].field < reference[i].field) {
            note(run[j].field, "in the run but not in the reference");
            ++j;
        } else {
            if (!(reference[i] == run[j])) note(run[j].field, describe(reference[i], run[j]));
            ++i;
            ++j;
        }
    }
    result.status = differing ? GoldenStatus::different : GoldenStatus::same;
    if (differing)
        result.report = "first difference in field " + std::to_string(result.first_field) + ": " + first + " (" +
                        std::to_string(differing) + (differing == 1 ? " field differs" : " fields differ") +
                        " in all; the run has " + std::to_string(run.size()) + ", the reference " +
                        std::to_string(reference.size()) + ")";
    return result;
}

GoldenResult check_field_sums(const std::string& path, std::span<const FieldSum> run, GoldenMode mode)
{
    GoldenResult result;
    if (mode == GoldenMode::update) {
        long offending = 0;
        const bool ok = ascending(run, &offending) && write_text(path, format_field_sums(run));
        result.status = ok ? GoldenStatus::written : GoldenStatus::different;
        result.report = ok ? "wrote " + path + " (" + std::to_string(run.size()) + (run.size() == 1 ? " field)" : " fields)")
                           : "could not write " + path + " from a run whose fields ascend";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.report = missing_report(path);
        return result;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<FieldSum> reference;
    std::string error;
    if (!parse_field_sums(text, reference, &error)) {
        result.status = GoldenStatus::different;
        result.report = "broken reference " + path + ": " + error;
        return result;
    }
    result = compare_field_sums(reference, run);
    if (!result.report.empty()) result.report = path + ": " + result.report;
    return result;
}

GoldenResult check_picture(const std::string& path, const CKrFrameBuffer& picture, int tolerance, GoldenMode mode)
{
    GoldenResult result;
    if (mode == GoldenMode::update) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
        const bool ok = write_pam(path, picture);
        result.status = ok ? GoldenStatus::written : GoldenStatus::different;
        result.report = ok ? "wrote " + path + "; look at it (convert x.pam x.png) before committing"
                           : "could not write " + path;
        return result;
    }
    CKrFrameBuffer reference;
    if (!read_pam(path, reference)) {
        result.report = missing_report(path);
        return result;
    }
    if (reference.GetWidth() != picture.GetWidth() || reference.GetHeight() != picture.GetHeight()) {
        result.status = GoldenStatus::different;
        result.report = path + ": size " + size_text(picture.GetWidth(), picture.GetHeight()) + ", reference " +
                        size_text(reference.GetWidth(), reference.GetHeight());
        return result;
    }
    long differing = 0, largest = 0, total = 0;
    std::string first;
    const unsigned long w = picture.GetWidth();
    for (unsigned long i = 0; i < w * picture.GetHeight(); ++i) {
        const DWORD ours = picture.GetBufferDWord()[i], theirs = reference.GetBufferDWord()[i];
        if (ours == theirs) continue;
        if (differing++ == 0)
            first = "first at (" + std::to_string(i % w) + "," + std::to_string(i / w) + "): " + hex8(ours) +
                    ", reference " + hex8(theirs);
        for (int shift = 0; shift < 32; shift += 8) {
            const long d = std::labs(static_cast<long>((ours >> shift) & 255) - static_cast<long>((theirs >> shift) & 255));
            largest = std::max(largest, d);
            total += d;
        }
    }
    result.status = largest <= tolerance ? GoldenStatus::same : GoldenStatus::different;
    if (differing)
        result.report = path + ": " + std::to_string(differing) + " pixels differ, largest byte difference " +
                        std::to_string(largest) + " (tolerance " + std::to_string(tolerance) + "), total " +
                        std::to_string(total) + "; " + first;
    return result;
}

} // namespace zt
