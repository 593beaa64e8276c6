// The converter's settings: the custom values of one conversion and the two presets with the
// folders read from Velmora.INI.
//
// The file is only ever read (users edit it by hand), once per run, from the current
// directory. No value is range-checked on reading; the custom dialog limits what it offers
// and the conversion copes with the rest.
#pragma once

#include <cstdint>
#include <string>

namespace vm {

// Custom output size, cut area in the source, smoothing passes and key mode: the values the
// custom dialog sets and each preset carries. All plain 32-bit integers as in the file.
struct tagCONVSETTING {
    std::int32_t nWidth = 0;
    std::int32_t nHeight = 0;
    std::int32_t nCutX = 0;
    std::int32_t nCutY = 0;
    std::int32_t nCutW = 0;
    std::int32_t nCutH = 0;
    std::int32_t nFilter = 0;  // smoothing passes
    std::int32_t nKey = 0;     // 0 linear (source key kept), 1 self (opaque black behind)

    friend bool operator==(const tagCONVSETTING&, const tagCONVSETTING&) = default;
};

struct VelmoraProfile {
    tagCONVSETTING Preset1;  // offered by "デフォルト"
    tagCONVSETTING Preset2;  // offered by "サイドカット"
    std::string SrcPath;     // normalised folder, always ending in '/'
    std::string DstPath;
    std::int32_t Custom = 0;   // 1: the custom dialog opens on Preset 2
    std::int32_t PathFlg = 0;  // 1: list SrcPath and DstPath at start-up
};

inline constexpr const char* kProfileFileName = "Velmora.INI";
inline constexpr const char* kProfileSection = "GENERAL";

// Reads the settings file at path; a missing file or missing keys give the defaults.
VelmoraProfile read_velmora_profile(const std::string& path);

// Drops every double quote at the start and at the end (inner ones stay) and makes the text
// end in exactly the folder separator it already had or one appended; "" becomes "/".
std::string normalize_folder(std::string folder);

} // namespace vm

namespace vm {

// A preset as the custom dialog shows it, and so as OK would confirm it: sizes and cut
// values within the dialog's ranges (widths and x 0 to 1920, heights and y 0 to 1080),
// passes 0 to 3, key mode 1 ("セルフ") or else 0 ("リニア", which draws the same as any other
// value).
tagCONVSETTING preset_as_offered(const tagCONVSETTING& preset);

inline constexpr int kMaxCustomWidth = 1920;
inline constexpr int kMaxCustomHeight = 1080;
inline constexpr int kMaxPasses = 3;

} // namespace vm
