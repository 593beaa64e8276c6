// IniProfile: a read-only settings file with the semantics operators know from Windows
// profile files, so a Velmora.INI written by hand for the old program reads the same here.
//
// What that means: "[section]" headers and "key=value" lines; section and key names compare
// ignoring ASCII case; blanks around names and values are dropped; a value wrapped in one pair
// of matching quotes loses that pair; lines starting with ';' are comments; the first
// occurrence of a section or a key wins. Integers follow the profile-integer rules: a missing
// key or an empty value gives the default, otherwise the leading decimal number (after blanks
// and an optional sign) is taken and anything after it ignored, so "12px" is 12 and "abc" is 0.
// The text is taken as bytes (UTF-8 by convention; a leading byte-order mark is skipped).
// The reader never writes the file and needs nothing beyond the standard library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vm {

class IniProfile {
public:
    IniProfile() = default;

    // Parses text in memory. Any byte sequence is accepted.
    static IniProfile FromText(std::string_view text);
    // Reads a file; a missing or unreadable file gives an empty profile (every read then
    // answers its default), which is what a missing settings file must do.
    static IniProfile FromFile(const std::string& path);

    // The value of key in section, or nullopt when the key is not there.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key, std::string_view fallback) const;
    std::int32_t GetInt(std::string_view section, std::string_view key, std::int32_t fallback) const;

    // The profile-integer conversion of one value on its own: leading decimal number or 0.
    static std::int32_t ParseInt(std::string_view value);

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    std::vector<Section> sections_;
};

} // namespace vm
