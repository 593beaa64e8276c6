// Reading Velmora.INI into the presets and folders.
#include "velmora_settings.h"

#include "ini_profile.h"

namespace vm {

std::string normalize_folder(std::string folder)
{
    size_t first = 0;
    while (first < folder.size() && folder[first] == '"') ++first;
    size_t last = folder.size();
    while (last > first && folder[last - 1] == '"') --last;
    folder = folder.substr(first, last - first);
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

namespace {

// One preset: its keys are the names below followed by the preset's number ("W1", "CUTX2").
tagCONVSETTING read_preset(const IniProfile& ini, char number, std::int32_t width, std::int32_t height)
{
    auto get = [&](const char* name, std::int32_t fallback) {
        return ini.GetInt(kProfileSection, std::string(name) + number, fallback);
    };
    tagCONVSETTING p;
    p.nFilter = get("FILTER", 0);
    p.nKey = get("KEY", 0);
    p.nWidth = get("W", width);
    p.nHeight = get("H", height);
    p.nCutX = get("CUTX", 0);
    p.nCutY = get("CUTY", 0);
    p.nCutW = get("CUTW", 0);
    p.nCutH = get("CUTH", 0);
    return p;
}

} // namespace

VelmoraProfile read_velmora_profile(const std::string& path)
{
    const IniProfile ini = IniProfile::FromFile(path);
    const char* s = kProfileSection;
    VelmoraProfile p;
    p.Preset1 = read_preset(ini, '1', 640, 480);
    p.Preset2 = read_preset(ini, '2', 720, 486);
    p.SrcPath = normalize_folder(ini.GetString(s, "SRCPATH", "./"));
    p.Custom = ini.GetInt(s, "CUSTOM", 0);
    p.PathFlg = ini.GetInt(s, "PATHFLG", 0);
    p.DstPath = normalize_folder(ini.GetString(s, "DSTPATH", "./"));
    return p;
}

tagCONVSETTING preset_as_offered(const tagCONVSETTING& p)
{
    auto clamp = [](std::int32_t v, std::int32_t hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
    tagCONVSETTING s;
    s.nWidth = clamp(p.nWidth, kMaxCustomWidth);
    s.nHeight = clamp(p.nHeight, kMaxCustomHeight);
    s.nCutX = clamp(p.nCutX, kMaxCustomWidth);
    s.nCutY = clamp(p.nCutY, kMaxCustomHeight);
    s.nCutW = clamp(p.nCutW, kMaxCustomWidth);
    s.nCutH = clamp(p.nCutH, kMaxCustomHeight);
    s.nFilter = clamp(p.nFilter, kMaxPasses);
    s.nKey = p.nKey == 1 ? 1 : 0;
    return s;
}

} // namespace vm
