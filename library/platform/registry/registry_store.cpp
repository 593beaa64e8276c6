// Registry keys and values in memory, and the text format they are read from.
#include "platform/registry/registry_store.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/byte_reader.h"

namespace zk {
namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Splits on backslashes, dropping empty parts ("A\\B\" is A, B).
std::vector<std::string_view> split_path(std::string_view path)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string_view root_name(std::string_view first)
{
    const std::string l = lower(first);
    if (l == "hkey_local_machine" || l == "hklm") return "HKEY_LOCAL_MACHINE";
    if (l == "hkey_current_user" || l == "hkcu") return "HKEY_CURRENT_USER";
    return {};
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Reads a quoted string at the start of `s`; `s` is left after the closing quote.
bool read_quoted(std::string_view& s, std::string& out)
{
    if (s.empty() || s.front() != '"') return false;
    out.clear();
    size_t i = 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= s.size()) return false;
            const char e = s[i + 1];
            if (e != '\\' && e != '"') return false;
            out += e;
            i += 2;
        } else {
            out += c;
            ++i;
        }
        if (out.size() > RegistryStore::kMaxValueBytes) return false;
    }
    return false;
}

bool parse_dword(std::string_view s, DWORD& out)
{
    if (s.empty() || s.size() > 8) return false;
    DWORD v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        v = v << 4 | static_cast<DWORD>(d);
    }
    out = v;
    return true;
}

bool parse_hex_bytes(std::string_view s, std::vector<BYTE>& out)
{
    out.clear();
    s = trim(s);
    if (s.empty()) return true;
    for (;;) {
        const size_t comma = s.find(',');
        const std::string_view item = trim(s.substr(0, comma));
        DWORD v;
        if (item.size() > 2 || !parse_dword(item, v)) return false;
        if (out.size() >= RegistryStore::kMaxValueBytes) return false;
        out.push_back(static_cast<BYTE>(v));
        if (comma == std::string_view::npos) return true;
        s.remove_prefix(comma + 1);
    }
}

std::string quote(std::string_view s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

} // namespace

std::string RegistryStore::normalise(std::string_view path)
{
    if (path.size() > kMaxPathBytes) return {};
    const auto parts = split_path(path);
    if (parts.empty()) return {};
    const std::string_view root = root_name(parts[0]);
    if (root.empty()) return {};
    std::string out = lower(root);
    for (size_t i = 1; i < parts.size(); ++i) {
        out += '\\';
        out += lower(parts[i]);
    }
    return out;
}

RegistryStore::Key& RegistryStore::key(std::string_view path)
{
    // Every ancestor becomes a key of its own, so that opening a parent finds it.
    const auto parts = split_path(path);
    std::string written(root_name(parts[0]));
    std::string norm = lower(written);
    for (size_t i = 0;; ++i) {
        Key& k = keys_[norm];
        if (k.path.empty()) k.path = written;
        if (i + 1 >= parts.size()) break;
        written += '\\';
        written += parts[i + 1];
        norm += '\\';
        norm += lower(parts[i + 1]);
    }
    return keys_.find(norm)->second;
}

void RegistryStore::create_key(std::string_view path)
{
    if (!normalise(path).empty()) key(path);
}

void RegistryStore::set_string(std::string_view path, std::string_view name, std::string_view value)
{
    if (normalise(path).empty()) return;
    Value v{std::string(name), REG_SZ, {}};
    v.data.assign(value.begin(), value.end());
    v.data.push_back(0);
    key(path).values[lower(name)] = std::move(v);
}

void RegistryStore::set_dword(std::string_view path, std::string_view name, DWORD value)
{
    if (normalise(path).empty()) return;
    Value v{std::string(name), REG_DWORD, std::vector<BYTE>(4)};
    put_le32(v.data.data(), value);
    key(path).values[lower(name)] = std::move(v);
}

void RegistryStore::set_binary(std::string_view path, std::string_view name, std::vector<BYTE> bytes)
{
    if (normalise(path).empty()) return;
    key(path).values[lower(name)] = Value{std::string(name), REG_BINARY, std::move(bytes)};
}

bool RegistryStore::remove_key(std::string_view path)
{
    const std::string norm = normalise(path);
    if (norm.empty()) return false;
    bool removed = false;
    for (auto it = keys_.lower_bound(norm); it != keys_.end();) {
        const std::string& k = it->first;
        if (k.compare(0, norm.size(), norm) != 0) break;
        if (k.size() != norm.size() && k[norm.size()] != '\\') {
            ++it;
            continue;
        }
        it = keys_.erase(it);
        removed = true;
    }
    return removed;
}

bool RegistryStore::key_exists(std::string_view path) const
{
    const std::string norm = normalise(path);
    return !norm.empty() && keys_.count(norm) != 0;
}

const RegistryStore::Value* RegistryStore::find_value(std::string_view path, std::string_view name) const
{
    auto k = keys_.find(normalise(path));
    if (k == keys_.end()) return nullptr;
    auto v = k->second.values.find(lower(name));
    return v == k->second.values.end() ? nullptr : &v->second;
}

std::vector<std::string> RegistryStore::subkeys(std::string_view path) const
{
    std::vector<std::string> out;
    const std::string norm = normalise(path);
    if (norm.empty()) return out;
    const std::string prefix = norm + "\\";
    for (auto it = keys_.lower_bound(prefix); it != keys_.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) break;
        if (it->first.find('\\', prefix.size()) != std::string::npos) continue;
        const std::string& written = it->second.path;
        out.push_back(written.substr(written.rfind('\\') + 1));
    }
    return out;
}

std::optional<RegistryStore> RegistryStore::parse(std::string_view text, std::string* error)
{
    auto fail = [&](size_t line, const char* why) -> std::optional<RegistryStore> {
        if (error) {
            char buf[96];
            std::snprintf(buf, sizeof buf, "line %zu: %s", line, why);
            *error = buf;
        }
        return std::nullopt;
    };
    if (text.size() > kMaxTextBytes) return fail(0, "file too large");
    // A UTF-8 byte-order mark is allowed before the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    RegistryStore store;
    std::string current; // the key values go to; empty before the first key
    size_t line_no = 0;
    while (!text.empty()) {
        ++line_no;
        const size_t nl = text.find('\n');
        std::string_view line = trim(text.substr(0, nl));
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);

        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line_no == 1 && (line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00")) continue;
        if (std::memchr(line.data(), '\0', line.size())) return fail(line_no, "NUL byte in line");

        if (line.front() == '[') {
            if (line.back() != ']') return fail(line_no, "key line without ']'");
            const std::string_view path = line.substr(1, line.size() - 2);
            if (path.find_first_of("[]") != std::string_view::npos) return fail(line_no, "bracket inside key name");
            if (normalise(path).empty()) return fail(line_no, "unknown root or bad key name");
            current.assign(path);
            store.create_key(current);
            continue;
        }
        if (current.empty()) return fail(line_no, "value before the first key");

        std::string name;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else if (!read_quoted(line, name)) {
            return fail(line_no, "bad value name");
        }
        line = trim(line);
        if (line.empty() || line.front() != '=') return fail(line_no, "missing '='");
        line = trim(line.substr(1));

        if (!line.empty() && line.front() == '"') {
            std::string value;
            if (!read_quoted(line, value)) return fail(line_no, "bad string value");
            if (!trim(line).empty()) return fail(line_no, "text after string value");
            store.set_string(current, name, value);
        } else if (line.substr(0, 6) == "dword:") {
            DWORD v;
            if (!parse_dword(trim(line.substr(6)), v)) return fail(line_no, "bad dword value");
            store.set_dword(current, name, v);
        } else if (line.substr(0, 4) == "hex:") {
            std::vector<BYTE> bytes;
            if (!parse_hex_bytes(line.substr(4), bytes)) return fail(line_no, "bad hex value");
            store.set_binary(current, name, std::move(bytes));
        } else {
            return fail(line_no, "unknown value type");
        }
    }
    return store;
}

std::string RegistryStore::to_text() const
{
    std::string out = "REGEDIT4\n";
    for (const auto& [norm, k] : keys_) {
        out += "\n[" + k.path + "]\n";
        for (const auto& [lname, v] : k.values) {
            out += v.name.empty() ? std::string("@") : quote(v.name);
            out += '=';
            std::uint32_t d = 0;
            if (v.type == REG_DWORD && v.data.size() == 4 && ByteReader(v.data.data(), v.data.size()).le32(d)) {
                char buf[24];
                std::snprintf(buf, sizeof buf, "dword:%08x", d);
                out += buf;
            } else if (v.type == REG_SZ) {
                std::string s(v.data.begin(), v.data.end());
                if (!s.empty() && s.back() == '\0') s.pop_back();
                out += quote(s);
            } else {
                out += "hex:";
                for (size_t i = 0; i < v.data.size(); ++i) {
                    char buf[4];
                    std::snprintf(buf, sizeof buf, "%s%02x", i ? "," : "", v.data[i]);
                    out += buf;
                }
            }
            out += '\n';
        }
    }
    return out;
}

const char* RegistryStore::default_text()
{
    return R"(REGEDIT4
; The virtual DigiSuite installation used when ZORVIK_REGISTRY names no file: one DigiMix at
; device 0 of backplane 0 and an SDTI board beside it, their devices served by the virtual
; board (its standard configuration names the same devices).

[HKEY_LOCAL_MACHINE\SOFTWARE\Matrox\DigiSuite\DigiMix\Device0]
"NAME"="DigiMix"
"VideoEffectsDevice"="DigiMixVFX0"
"GraphicDevice"="DigiMixGFB0"
"BACKPLANE"=dword:00000000
"CONNECTOR"=dword:00000000
"PCISlot"=dword:00000003
"PCIBus"=dword:00000000

[HKEY_LOCAL_MACHINE\SOFTWARE\MATROX\DIGISUITE\DIGISUITESDTI\Device0]
"NAME"="DigiSuiteSDTI"
"ControlDevice"="DigiSuiteSdtiCtl0"
"BACKPLANE"=dword:00000000
"CONNECTOR"=dword:00000001
"PCISlot"=dword:00000004
"PCIBus"=dword:00000000

[HKEY_LOCAL_MACHINE\SOFTWARE\MOVIE2\Backplane0\Settings]
"VideoStandard"=dword:00000001
)";
}

} // namespace zk
