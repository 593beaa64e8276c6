// The contents of the registry as the library sees it: keys with string, 4-byte and binary
// values, read from a plain text file.
//
// Key paths start with the root name ("HKEY_LOCAL_MACHINE\SOFTWARE\Matrox\...", or the short
// forms HKLM and HKCU) and, as on Windows, compare without regard to case, as do value names.
// Defining a key defines its parents. A store is a value: once installed (registry.h) it is
// never changed, so readers on any thread need no lock.
//
// The text format is that of a registry export:
//
//     REGEDIT4                                      optional first line
//     ; a comment                                   lines starting with ';' or '#'
//     [HKEY_LOCAL_MACHINE\SOFTWARE\Matrox\MQFG]     a key
//     "SeekTimeOut"=dword:000007d0                  a 4-byte value, 1 to 8 hex digits
//     "NAME"="DigiMix"                              a string; \\ and \" are the escapes
//     @="default value"                             the key's unnamed value
//     "Table"=hex:01,02,ff                          bytes
//
// A file that breaks these rules is refused as a whole, with the line that broke them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

namespace zk {

class ZORVIK_API RegistryStore {
public:
    struct Value {
        std::string name; // as written
        DWORD type = REG_NONE;
        std::vector<BYTE> data; // strings include their terminating NUL, as Windows stores them
    };

    // Limits that keep a hostile file from exhausting memory.
    static constexpr size_t kMaxTextBytes = 16u << 20;
    static constexpr size_t kMaxValueBytes = 1u << 16;
    static constexpr size_t kMaxPathBytes = 1024;

    void create_key(std::string_view path);
    void set_string(std::string_view path, std::string_view name, std::string_view value);
    void set_dword(std::string_view path, std::string_view name, DWORD value);
    void set_binary(std::string_view path, std::string_view name, std::vector<BYTE> bytes);
    bool remove_key(std::string_view path); // with everything below it

    bool key_exists(std::string_view path) const;
    const Value* find_value(std::string_view path, std::string_view name) const;
    // Names of the keys directly below `path`, as written, in case-insensitive order.
    std::vector<std::string> subkeys(std::string_view path) const;
    size_t key_count() const { return keys_.size(); }

    // Parses the text format; on failure gives nothing and says why in `error`.
    static std::optional<RegistryStore> parse(std::string_view text, std::string* error = nullptr);
    std::string to_text() const;

    // The store used when no file is named: one DigiMix at device 0 of backplane 0 and an SDTI
    // board, the installation of the standard virtual board (BoardConfig::standard()).
    static const char* default_text();

    // The canonical lookup form of a path: root spelled out, single separators, lower case.
    // Empty when the root is unknown or the path too long.
    static std::string normalise(std::string_view path);

private:
    struct Key {
        std::string path; // as written
        std::map<std::string, Value> values; // by lower-case name
    };
    Key& key(std::string_view path);

    std::map<std::string, Key> keys_; // by normalised path
};

} // namespace zk
