// Profile-file parsing: see ini_profile.h for the rules the settings file is read with.
#include "ini_profile.h"

#include <fstream>
#include <iterator>

namespace vm {

namespace {

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_no_case(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// One pair of matching quotes around a value is part of the notation, not of the value.
std::string_view strip_one_quote_pair(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

} // namespace

IniProfile IniProfile::FromText(std::string_view text)
{
    IniProfile profile;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    Section* current = nullptr;  // keys before any header belong to no section
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);

        line = trim(line);
        if (line.empty() || line.front() == ';') continue;

        if (line.front() == '[') {
            // A header without its closing bracket still names a section, as Windows reads it.
            std::string_view name = line.substr(1);
            const size_t close = name.find(']');
            if (close != std::string_view::npos) name = name.substr(0, close);
            name = trim(name);
            current = nullptr;
            for (Section& s : profile.sections_) {
                if (equal_no_case(s.name, name)) {
                    // A repeated section adds nothing the first one already has, but keys it
                    // alone defines are still found.
                    current = &s;
                    break;
                }
            }
            if (!current) {
                profile.sections_.push_back(Section{std::string(name), {}});
                current = &profile.sections_.back();
            }
            continue;
        }
        if (!current) continue;

        const size_t eq = line.find('=');
        const std::string_view key = trim(line.substr(0, eq));
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view() : strip_one_quote_pair(trim(line.substr(eq + 1)));
        bool known = false;
        for (const auto& entry : current->entries) {
            if (equal_no_case(entry.first, key)) {
                known = true;
                break;
            }
        }
        if (!known) current->entries.emplace_back(std::string(key), std::string(value));
    }
    return profile;
}

IniProfile IniProfile::FromFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return IniProfile();
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return FromText(text);
}

std::optional<std::string> IniProfile::Find(std::string_view section, std::string_view key) const
{
    for (const Section& s : sections_) {
        if (!equal_no_case(s.name, section)) continue;
        for (const auto& entry : s.entries) {
            if (equal_no_case(entry.first, key)) return entry.second;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::string IniProfile::GetString(std::string_view section, std::string_view key, std::string_view fallback) const
{
    if (auto v = Find(section, key)) return *v;
    return std::string(fallback);
}

std::int32_t IniProfile::GetInt(std::string_view section, std::string_view key, std::int32_t fallback) const
{
    const auto v = Find(section, key);
    if (!v || v->empty()) return fallback;
    return ParseInt(*v);
}

std::int32_t IniProfile::ParseInt(std::string_view value)
{
    size_t i = 0;
    while (i < value.size() && is_blank(value[i])) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    // Accumulated modulo 2^32 like the system's conversion: an absurdly long number wraps
    // instead of overflowing a signed integer.
    std::uint32_t n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        n = n * 10u + static_cast<std::uint32_t>(value[i] - '0');
    }
    if (negative) n = 0u - n;
    return static_cast<std::int32_t>(n);
}

} // namespace vm
