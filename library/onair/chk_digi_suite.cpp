// Reading the DigiSuite driver entries of the registry.
#include "onair/chk_digi_suite.h"

#include <cstring>
#include <initializer_list>
#include <utility>

#include "platform/board/device_io.h"
#include "platform/registry/registry.h"

namespace {

constexpr int kDevices = 6;
constexpr DWORD kMaxString = 255;
constexpr DWORD kNJTypeBit = 0x800;

const char* const kMixKey = "SOFTWARE\\Matrox\\DigiSuite\\DigiMix";
const char* const kLeKey = "SOFTWARE\\Matrox\\DigiSuite\\DIGISUITELITE";
const char* const kMotKey = "SOFTWARE\\Matrox\\DigiSuite\\DigiMotion";
const char* const kGenieKey = "SOFTWARE\\Matrox\\DigiSuite\\Genie";
const char* const kLinxKey = "SOFTWARE\\Matrox\\DigiSuite\\DigiLinx";
const char* const kVidKey = "SOFTWARE\\Matrox\\DigiSuite\\DigiVid";
const char* const kSdtiKey = "SOFTWARE\\MATROX\\DIGISUITE\\DIGISUITESDTI";

// An open registry key, closed when it goes.
class Key {
public:
    Key(HKEY root, const CString& path)
    {
        if (RegOpenKeyEx(root, path, 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~Key()
    {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    bool open() const { return key_ != nullptr; }

    // A string of at most 255 bytes that is not "NULL".
    bool string(const char* name, CString& out) const
    {
        if (!key_) return false;
        char buf[kMaxString + 1];
        DWORD size = sizeof buf;
        DWORD type = REG_NONE;
        if (RegQueryValueEx(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return false;
        // The stored bytes need not end in a NUL; never read past what was returned.
        buf[size < sizeof buf ? size : sizeof buf - 1] = '\0';
        if (std::strcmp(buf, "NULL") == 0) return false;
        out = buf;
        return true;
    }
    // A 4-byte number; `out` is left alone when there is none.
    bool number(const char* name, DWORD& out) const { return key_ && zk::read_registry_dword(key_, name, out); }
    // A device name stored bare, handed on as the "\\.\name" path the driver opens; `out` stays
    // as it is without one.
    void device_path(const char* name, CString& out) const
    {
        CString value;
        if (string(name, value)) out.Format("\\\\.\\%s", value.GetString());
    }
    void strings(std::initializer_list<std::pair<const char*, CString*>> values) const
    {
        for (const auto& [name, out] : values) string(name, *out);
    }
    void numbers(std::initializer_list<std::pair<const char*, DWORD*>> values) const
    {
        for (const auto& [name, out] : values) number(name, *out);
    }

private:
    HKEY key_ = nullptr;
};

CString device_key(const char* family, int device)
{
    CString path;
    path.Format("%s\\Device%d", family, device);
    return path;
}

enum class Counts { EffectsDevice, Name, Subkey };

// Marks the present devices of a family and gives how many there are and the first of them.
int count_family(const char* family, Counts rule, BYTE (&present)[kDevices], int& select)
{
    for (BYTE& p : present) p = 0;
    select = 0;
    if (!Key(HKEY_LOCAL_MACHINE, family).open()) return 0;
    int count = 0;
    for (int d = 0; d < kDevices; ++d) {
        const Key key(HKEY_LOCAL_MACHINE, device_key(family, d));
        CString value;
        bool counts = false;
        switch (rule) {
        case Counts::EffectsDevice:
            counts = key.string("VideoEffectsDevice", value);
            break;
        case Counts::Name:
            counts = key.string("NAME", value);
            break;
        case Counts::Subkey:
            counts = key.open();
            break;
        }
        if (!counts) continue;
        present[d] = 1;
        if (count++ == 0) select = d;
    }
    return count;
}

// What the two video-effects families (DigiMix and DigiSuiteLite) record alike. The clock path
// is only set when the backplane number is there; the video standard is the one of that
// backplane (backplane 0 when none is recorded).
struct EffectsValues {
    CString& name;
    CString& device;
    CString& clock;
    CString& gfb;
    DWORD& backplane;
    DWORD& connector;
    DWORD& slot;
    DWORD& bus;
    DWORD& standard;
};

void read_effects_device(const Key& key, const EffectsValues& v)
{
    key.strings({{"NAME", &v.name}});
    key.device_path("VideoEffectsDevice", v.device);
    if (key.number("BACKPLANE", v.backplane))
        v.clock.Format("\\\\.\\DigiSuiteSystemClock%d", static_cast<int>(v.backplane));
    key.numbers({{"CONNECTOR", &v.connector}, {"PCISlot", &v.slot}, {"PCIBus", &v.bus}});
    key.device_path("GraphicDevice", v.gfb);
    CString settings;
    settings.Format("SOFTWARE\\MOVIE2\\Backplane%d\\Settings", static_cast<int>(v.backplane));
    Key(HKEY_LOCAL_MACHINE, settings).number("VideoStandard", v.standard);
}

} // namespace

CChkDigiSuite::CChkDigiSuite()
{
    if ((m_MixNumber = GetAndListNumberOfDigiMix()) > 0) {
        m_MixFlag = 1;
        GetKeysDigiMix();
    }
    if ((m_LeNumber = GetAndListNumberOfDigiLe()) > 0) {
        m_LeFlag = 1;
        GetKeysDigiLe();
    }
    if ((m_MotNumber = GetAndListNumberOfDigiMotion()) > 0) {
        m_MotFlag = 1;
        GetKeysDigiMotion();
    }
    if ((m_GniNumber = GetAndListNumberOfGenie()) > 0) {
        m_GniFlag = 1;
        GetKeysGenie();
    }
    if ((m_LinxNumber = GetAndListNumberOfLinx()) > 0) {
        m_LinxFlag = 1;
        GetKeysDigiLinx();
    }
    if ((m_VidNumber = GetAndListNumberOfVid()) > 0) {
        m_VidFlag = 1;
        GetKeysDigiVid();
    }
    if ((m_SdtiNumber = GetAndListNumberOfSdti()) > 0) {
        m_SdtiFlag = 1;
        GetKeysSdti();
    }
}

int CChkDigiSuite::GetAndListNumberOfDigiMix()
{
    return count_family(kMixKey, Counts::EffectsDevice, m_MixDevice, m_MixSelect);
}

int CChkDigiSuite::GetAndListNumberOfDigiLe()
{
    return count_family(kLeKey, Counts::EffectsDevice, m_LeDevice, m_LeSelect);
}

int CChkDigiSuite::GetAndListNumberOfDigiMotion()
{
    return count_family(kMotKey, Counts::Name, m_MotDevice, m_MotSelect);
}

int CChkDigiSuite::GetAndListNumberOfGenie()
{
    return count_family(kGenieKey, Counts::Name, m_GniDevice, m_GniSelect);
}

int CChkDigiSuite::GetAndListNumberOfLinx()
{
    return count_family(kLinxKey, Counts::Subkey, m_LinxDevice, m_LinxSelect);
}

int CChkDigiSuite::GetAndListNumberOfVid()
{
    return count_family(kVidKey, Counts::Subkey, m_VidDevice, m_VidSelect);
}

int CChkDigiSuite::GetAndListNumberOfSdti()
{
    return count_family(kSdtiKey, Counts::Subkey, m_SdtiDevice, m_SdtiSelect);
}

int CChkDigiSuite::GetKeysDigiMix()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kMixKey, m_MixSelect));
    read_effects_device(key, {m_MixName, m_DeviceName, m_ClockName, m_GFBName, m_MixBackplane, m_MixConnector,
                              m_MixSlot, m_MixBus, m_MixStandard});
    m_MixPromOptions = GetPromOptions(m_DeviceName);
    m_MixNJType = (m_MixPromOptions & kNJTypeBit) ? 1 : 0;
    return 0;
}

int CChkDigiSuite::GetKeysDigiLe()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kLeKey, m_LeSelect));
    read_effects_device(key, {m_LeName, m_LeDeviceName, m_LeClockName, m_LeGFBName, m_LeBackplane, m_LeConnector,
                              m_LeSlot, m_LeBus, m_LeStandard});
    key.strings({{"Audio1", &m_LeAudioName1},
                 {"Audio2", &m_LeAudioName2},
                 {"Audio3", &m_LeAudioName3},
                 {"Codec1", &m_LeCodecName1},
                 {"Codec2", &m_LeCodecName2}});
    m_LePromOptions = GetPromOptions(m_LeDeviceName);
    m_LeNJType = (m_LePromOptions & kNJTypeBit) ? 1 : 0;
    return 0;
}

int CChkDigiSuite::GetKeysDigiMotion()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kMotKey, m_MotSelect));
    key.strings({{"NAME", &m_MotName},
                 {"AdapterMemory1", &m_MotMemName},
                 {"Audio1", &m_MotAudioName1},
                 {"Audio2", &m_MotAudioName2},
                 {"Audio3", &m_MotAudioName3},
                 {"Codec1", &m_MotCodecName1},
                 {"Codec2", &m_MotCodecName2}});
    key.numbers({{"BACKPLANE", &m_MotBackplane},
                 {"CONNECTOR", &m_MotConnector},
                 {"PCISlot", &m_MotSlot},
                 {"PCIBus", &m_MotBus}});
    return 0;
}

int CChkDigiSuite::GetKeysGenie()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kGenieKey, m_GniSelect));
    key.strings({{"NAME", &m_GniName}});
    key.numbers({{"BACKPLANE", &m_GniBackplane},
                 {"CONNECTOR", &m_GniConnector},
                 {"PCISlot", &m_GniSlot},
                 {"PCIBus", &m_GniBus}});
    return 0;
}

int CChkDigiSuite::GetKeysDigiLinx()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kLinxKey, m_LinxSelect));
    key.numbers({{"BACKPLANE", &m_LinxBackplane},
                 {"CONNECTOR", &m_LinxConnector},
                 {"BaseAddress", &m_LinxBaseAddress}});
    key.strings({{"Input1", &m_LinxInput1},
                 {"Input2", &m_LinxInput2},
                 {"Input3", &m_LinxInput3},
                 {"Output1", &m_LinxOutput1},
                 {"Output2", &m_LinxOutput2}});
    return 0;
}

int CChkDigiSuite::GetKeysDigiVid()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kVidKey, m_VidSelect));
    key.numbers({{"BACKPLANE", &m_VidBackplane},
                 {"CONNECTOR", &m_VidConnector},
                 {"SerialNumber", &m_VidSerialNumber}});
    key.strings({{"Input1", &m_VidInput1},
                 {"Input2", &m_VidInput2},
                 {"Output1", &m_VidOutput1},
                 {"Output2", &m_VidOutput2},
                 {"Timecode1", &m_VidTimecode1},
                 {"Timecode2", &m_VidTimecode2}});
    return 0;
}

int CChkDigiSuite::GetKeysSdti()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kSdtiKey, m_SdtiSelect));
    key.numbers({{"BACKPLANE", &m_SdtiBackplane},
                 {"CONNECTOR", &m_SdtiConnector},
                 {"PCIBus", &m_SdtiPCIBus},
                 {"PCISlot", &m_SdtiPCISlot}});
    key.strings({{"AdapterMemory1", &m_SdtiAdapterMemory1},
                 {"ControlDevice", &m_SdtiControlDevice},
                 {"DownloadDevice", &m_SdtiDownloadDevice},
                 {"NAME", &m_SdtiName},
                 {"TriMediaDevice", &m_SdtiTriMediaDevice}});
    return 0;
}

DWORD CChkDigiSuite::GetPromOptions(const char* device)
{
    if (!device || !*device) return 0;
    HANDLE h = CreateFile(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    DWORD words[kPromRequestBytes / 4] = {kPromRequestMagic};
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(h, IOCTL_VFX_GET_PROM_OPTIONS, words, kPromRequestBytes, words,
                                    kPromRequestBytes, &returned, nullptr);
    CloseHandle(h);
    // The option word is the tenth word; a reply too short to hold it gives none.
    return ok && returned >= 10 * sizeof(DWORD) ? words[9] : 0;
}
