// Folder listing for the source and destination lists.
#include "folder_listing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "convert_pipeline.h"

namespace vm {

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool less_no_case(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char x = lower(a[i]);
        const char y = lower(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

// Names in folder matching ext that are not folders, in listing order.
std::vector<std::string> matching_names(const std::string& folder, const char* ext)
{
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) return names;
    for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        std::string name = it->path().filename().string();
        if (!has_extension(name, ext)) continue;
        std::error_code type_ec;
        if (it->is_directory(type_ec)) continue;
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), less_no_case);
    return names;
}

} // namespace

std::string file_size_text(std::uint64_t bytes)
{
    if (bytes <= 1023) return "1KB";
    char text[32];
    std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>((bytes + 1023) / 1024));
    return text;
}

std::string file_date_text(std::time_t mtime)
{
    // The converter works on one thread, so the C library's shared result is safe to read.
    const std::tm* converted = std::localtime(&mtime);
    if (!converted) return std::string();
    const std::tm local = *converted;
    char text[64];
    std::snprintf(text, sizeof text, "%d/%02d/%02d      %02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min);
    return text;
}

std::string image_size_text(long width, long height)
{
    char text[64];
    std::snprintf(text, sizeof text, "%ld\u00D7%ld", width, height);
    return text;
}

bool has_extension(const std::string& name, const char* ext)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string_view tail(name.c_str() + dot + 1);
    const std::string_view want(ext);
    if (tail.size() != want.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        if (lower(tail[i]) != lower(want[i])) return false;
    }
    return true;
}

ListResult list_folder(const std::string& folder, const char* ext, const SizeProbe& probe, const RowSink& sink,
                       std::vector<UnreadableEntry>* unreadable)
{
    if (folder.empty()) return ListResult::Done;
    ListResult result = ListResult::Done;
    for (const std::string& name : matching_names(folder, ext)) {
        ListRow row;
        row.name = name;
        row.path = join_path(folder, name);

        // Only regular files are opened (a pipe named like a picture must not stop the
        // listing), and an entry that cannot be read is named and passed over.
        std::error_code status_error, sized, dated;
        const std::filesystem::file_status status = std::filesystem::status(row.path, status_error);
        std::string reason;
        std::uintmax_t bytes = 0;
        std::filesystem::file_time_type written{};
        if (status_error) {
            reason = status_error.message();
        } else if (!std::filesystem::is_regular_file(status)) {
            reason = "not a regular file";
        } else if (!std::ifstream(row.path, std::ios::binary).is_open()) {
            reason = "cannot be opened for reading";
        } else {
            bytes = std::filesystem::file_size(row.path, sized);
            written = std::filesystem::last_write_time(row.path, dated);
            if (sized) reason = sized.message();
            else if (dated) reason = dated.message();
        }
        if (!reason.empty()) {
            if (unreadable) unreadable->push_back({name, reason});
            result = ListResult::SomeUnreadable;
            continue;
        }
        row.size_text = file_size_text(static_cast<std::uint64_t>(bytes));
        row.date_text = file_date_text(std::chrono::system_clock::to_time_t(
            std::chrono::file_clock::to_sys(written)));
        if (probe) {
            const CSize size = probe(row.path);
            row.width = size.cx;
            row.height = size.cy;
        }
        sink(row);
    }
    return result;
}

} // namespace vm

namespace vm {

std::string join_path(const std::string& folder, const std::string& name)
{
    return folder + "/" + name;
}

std::string destination_path(const std::string& folder, const std::string& name, int format)
{
    const std::string stem = name.size() >= 3 ? name.substr(0, name.size() - 3) : std::string();
    return join_path(folder, stem + format_extension(format));
}

} // namespace vm
