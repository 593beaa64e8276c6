// Fuzzes the converter's settings-file reader: any bytes parse, and every lookup, integer
// conversion and folder normalisation stays within what was read.
//
// The converter is not part of the library this build instruments, so the reader's sources
// are compiled in here; they need nothing but the standard library.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "../converter/core/ini_profile.cpp"
#include "../converter/core/velmora_settings.cpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const vm::IniProfile ini = vm::IniProfile::FromText(text);
    static const char* const keys[] = {"FILTER1", "KEY1", "W1", "H1", "SRCPATH", "DSTPATH", "CUSTOM", "PATHFLG", "CUTX2"};
    for (const char* key : keys) {
        (void)ini.GetInt("GENERAL", key, 640);
        (void)vm::normalize_folder(ini.GetString("general", key, "./"));
    }
    // Names taken from the input itself reach the matching paths too.
    const std::string_view head = text.substr(0, text.find('\n'));
    (void)ini.Find(head, head);
    (void)vm::IniProfile::ParseInt(text);
    return 0;
}
