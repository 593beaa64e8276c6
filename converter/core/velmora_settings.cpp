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

VelmoraProfile read_velmora_profile(const std::string& path)
{
    const IniProfile ini = IniProfile::FromFile(path);
    const char* s = kProfileSection;
    VelmoraProfile p;
    p.Preset1.nFilter = ini.GetInt(s, "FILTER1", 0);
    p.Preset2.nFilter = ini.GetInt(s, "FILTER2", 0);
    p.Preset1.nKey = ini.GetInt(s, "KEY1", 0);
    p.Preset2.nKey = ini.GetInt(s, "KEY2", 0);
    p.Preset1.nWidth = ini.GetInt(s, "W1", 640);
    p.Preset1.nHeight = ini.GetInt(s, "H1", 480);
    p.Preset2.nWidth = ini.GetInt(s, "W2", 720);
    p.Preset2.nHeight = ini.GetInt(s, "H2", 486);
    p.SrcPath = normalize_folder(ini.GetString(s, "SRCPATH", "./"));
    p.Custom = ini.GetInt(s, "CUSTOM", 0);
    p.PathFlg = ini.GetInt(s, "PATHFLG", 0);
    p.DstPath = normalize_folder(ini.GetString(s, "DSTPATH", "./"));
    p.Preset1.nCutX = ini.GetInt(s, "CUTX1", 0);
    p.Preset1.nCutY = ini.GetInt(s, "CUTY1", 0);
    p.Preset1.nCutW = ini.GetInt(s, "CUTW1", 0);
    p.Preset1.nCutH = ini.GetInt(s, "CUTH1", 0);
    p.Preset2.nCutX = ini.GetInt(s, "CUTX2", 0);
    p.Preset2.nCutY = ini.GetInt(s, "CUTY2", 0);
    p.Preset2.nCutW = ini.GetInt(s, "CUTW2", 0);
    p.Preset2.nCutH = ini.GetInt(s, "CUTH2", 0);
    return p;
}

} // namespace vm

namespace vm {

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
