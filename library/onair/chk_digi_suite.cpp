// Reading the DigiSuite driver entries of the registry.
#include "onair/chk_digi_suite.h"

#include <cstring>

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
    bool number(const char* name, DWORD& out) const
    {
        if (!key_) return false;
        BYTE buf[4];
        DWORD size = sizeof buf;
        DWORD type = REG_NONE;
        if (RegQueryValueEx(key_, name, nullptr, &type, buf, &size) != ERROR_SUCCESS || size != 4 ||
            (type != REG_DWORD && type != REG_BINARY))
            return false;
        out = static_cast<DWORD>(buf[0]) | static_cast<DWORD>(buf[1]) << 8 | static_cast<DWORD>(buf[2]) << 16 |
              static_cast<DWORD>(buf[3]) << 24;
        return true;
    }
    // Formats a string value into `out` ("%s" or "\\.\%s"); `out` stays empty without one.
    void formatted(const char* name, const char* format, CString& out) const
    {
        CString value;
        if (string(name, value)) out.Format(format, value.GetString());
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
    key.formatted("NAME", "%s", m_MixName);
    key.formatted("VideoEffectsDevice", "\\\\.\\%s", m_DeviceName);
    if (key.number("BACKPLANE", m_MixBackplane))
        m_ClockName.Format("\\\\.\\DigiSuiteSystemClock%d", static_cast<int>(m_MixBackplane));
    key.number("CONNECTOR", m_MixConnector);
    key.number("PCISlot", m_MixSlot);
    key.number("PCIBus", m_MixBus);
    key.formatted("GraphicDevice", "\\\\.\\%s", m_GFBName);
    CString settings;
    settings.Format("SOFTWARE\\MOVIE2\\Backplane%d\\Settings", static_cast<int>(m_MixBackplane));
    Key(HKEY_LOCAL_MACHINE, settings).number("VideoStandard", m_MixStandard);
    m_MixPromOptions = GetPromOptions(m_DeviceName);
    m_MixNJType = (m_MixPromOptions & kNJTypeBit) ? 1 : 0;
    return 0;
}

int CChkDigiSuite::GetKeysDigiLe()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kLeKey, m_LeSelect));
    key.formatted("NAME", "%s", m_LeName);
    key.formatted("VideoEffectsDevice", "\\\\.\\%s", m_LeDeviceName);
    if (key.number("BACKPLANE", m_LeBackplane))
        m_LeClockName.Format("\\\\.\\DigiSuiteSystemClock%d", static_cast<int>(m_LeBackplane));
    key.number("CONNECTOR", m_LeConnector);
    key.number("PCISlot", m_LeSlot);
    key.number("PCIBus", m_LeBus);
    key.formatted("GraphicDevice", "\\\\.\\%s", m_LeGFBName);
    key.formatted("Audio1", "%s", m_LeAudioName1);
    key.formatted("Audio2", "%s", m_LeAudioName2);
    key.formatted("Audio3", "%s", m_LeAudioName3);
    key.formatted("Codec1", "%s", m_LeCodecName1);
    key.formatted("Codec2", "%s", m_LeCodecName2);
    CString settings;
    settings.Format("SOFTWARE\\MOVIE2\\Backplane%d\\Settings", static_cast<int>(m_LeBackplane));
    Key(HKEY_LOCAL_MACHINE, settings).number("VideoStandard", m_LeStandard);
    m_LePromOptions = GetPromOptions(m_LeDeviceName);
    m_LeNJType = (m_LePromOptions & kNJTypeBit) ? 1 : 0;
    return 0;
}

int CChkDigiSuite::GetKeysDigiMotion()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kMotKey, m_MotSelect));
    key.formatted("NAME", "%s", m_MotName);
    key.formatted("AdapterMemory1", "%s", m_MotMemName);
    key.formatted("Audio1", "%s", m_MotAudioName1);
    key.formatted("Audio2", "%s", m_MotAudioName2);
    key.formatted("Audio3", "%s", m_MotAudioName3);
    key.formatted("Codec1", "%s", m_MotCodecName1);
    key.formatted("Codec2", "%s", m_MotCodecName2);
    key.number("BACKPLANE", m_MotBackplane);
    key.number("CONNECTOR", m_MotConnector);
    key.number("PCISlot", m_MotSlot);
    key.number("PCIBus", m_MotBus);
    return 0;
}

int CChkDigiSuite::GetKeysGenie()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kGenieKey, m_GniSelect));
    key.formatted("NAME", "%s", m_GniName);
    key.number("BACKPLANE", m_GniBackplane);
    key.number("CONNECTOR", m_GniConnector);
    key.number("PCISlot", m_GniSlot);
    key.number("PCIBus", m_GniBus);
    return 0;
}

int CChkDigiSuite::GetKeysDigiLinx()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kLinxKey, m_LinxSelect));
    key.number("BACKPLANE", m_LinxBackplane);
    key.number("CONNECTOR", m_LinxConnector);
    key.number("BaseAddress", m_LinxBaseAddress);
    key.formatted("Input1", "%s", m_LinxInput1);
    key.formatted("Input2", "%s", m_LinxInput2);
    key.formatted("Input3", "%s", m_LinxInput3);
    key.formatted("Output1", "%s", m_LinxOutput1);
    key.formatted("Output2", "%s", m_LinxOutput2);
    return 0;
}

int CChkDigiSuite::GetKeysDigiVid()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kVidKey, m_VidSelect));
    key.number("BACKPLANE", m_VidBackplane);
    key.number("CONNECTOR", m_VidConnector);
    key.number("SerialNumber", m_VidSerialNumber);
    key.formatted("Input1", "%s", m_VidInput1);
    key.formatted("Input2", "%s", m_VidInput2);
    key.formatted("Output1", "%s", m_VidOutput1);
    key.formatted("Output2", "%s", m_VidOutput2);
    key.formatted("Timecode1", "%s", m_VidTimecode1);
    key.formatted("Timecode2", "%s", m_VidTimecode2);
    return 0;
}

int CChkDigiSuite::GetKeysSdti()
{
    const Key key(HKEY_LOCAL_MACHINE, device_key(kSdtiKey, m_SdtiSelect));
    key.number("BACKPLANE", m_SdtiBackplane);
    key.number("CONNECTOR", m_SdtiConnector);
    key.number("PCIBus", m_SdtiPCIBus);
    key.number("PCISlot", m_SdtiPCISlot);
    key.formatted("AdapterMemory1", "%s", m_SdtiAdapterMemory1);
    key.formatted("ControlDevice", "%s", m_SdtiControlDevice);
    key.formatted("DownloadDevice", "%s", m_SdtiDownloadDevice);
    key.formatted("NAME", "%s", m_SdtiName);
    key.formatted("TriMediaDevice", "%s", m_SdtiTriMediaDevice);
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
