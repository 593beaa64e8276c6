// CChkDigiSuite: which DigiSuite boards are installed and how, as the board drivers record it
// in the registry, plus the option word of the DigiMix video-effects device.
//
// The inventory is taken once, at construction. Seven families are read (DigiMix,
// DigiSuiteLite, DigiMotion, Genie, DigiLinx, DigiVid, SDTI), each with up to six devices
// under "Device0" to "Device5"; of each family the first present device is selected and its
// values are read. What the values mean (backplane, connector, slot, standard numbers)
// belongs to the drivers: they are only handed on. A value that is missing, of the wrong
// kind, too long, or a string "NULL" leaves its member empty or 0.
#pragma once

#include "core/zorvik_api.h"
#include "platform/framework/cstring.h"
#include "platform/framework/win_types.h"

class ZORVIK_API CChkDigiSuite {
public:
    CChkDigiSuite();
    CChkDigiSuite(const CChkDigiSuite&) = default;
    CChkDigiSuite& operator=(const CChkDigiSuite&) = default;
    virtual ~CChkDigiSuite() = default;

    int GetAndListNumberOfDigiMix();
    int GetAndListNumberOfDigiLe();
    int GetAndListNumberOfDigiMotion();
    int GetAndListNumberOfGenie();
    int GetAndListNumberOfLinx();
    int GetAndListNumberOfVid();
    int GetAndListNumberOfSdti();
    int GetKeysDigiMix();
    int GetKeysDigiLe();
    int GetKeysDigiMotion();
    int GetKeysGenie();
    int GetKeysDigiLinx();
    int GetKeysDigiVid();
    int GetKeysSdti();

    // DigiMix
    int GetMixFlag() const { return m_MixFlag; }
    CString& GetMixName() { return m_MixName; }
    CString& GetDeviceName() { return m_DeviceName; }
    CString& GetClockName() { return m_ClockName; }
    CString& GetGFBName() { return m_GFBName; }
    int GetMixSelect() const { return m_MixSelect; }
    int GetMixNumber() const { return m_MixNumber; }
    DWORD GetMixBackplane() const { return m_MixBackplane; }
    DWORD GetMixConnector() const { return m_MixConnector; }
    DWORD GetMixSlot() const { return m_MixSlot; }
    DWORD GetMixBus() const { return m_MixBus; }
    DWORD GetMixStandard() const { return m_MixStandard; }
    DWORD GetMixNJType() const { return m_MixNJType; }
    DWORD GetMixPromOptions() const { return m_MixPromOptions; }
    const BYTE* GetMixDevices() const { return m_MixDevice; }

    // DigiSuiteLite
    int GetLeFlag() const { return m_LeFlag; }
    CString& GetLeName() { return m_LeName; }
    CString& GetLeDeviceName() { return m_LeDeviceName; }
    CString& GetLeClockName() { return m_LeClockName; }
    CString& GetLeGFBName() { return m_LeGFBName; }
    CString& GetLeAudioName() { return m_LeAudioName1; }
    CString& GetLeAudioName1() { return m_LeAudioName1; }
    CString& GetLeAudioName2() { return m_LeAudioName2; }
    CString& GetLeAudioName3() { return m_LeAudioName3; }
    CString& GetLeCodecName() { return m_LeCodecName1; }
    CString& GetLeCodecName1() { return m_LeCodecName1; }
    CString& GetLeCodecName2() { return m_LeCodecName2; }
    int GetLeSelect() const { return m_LeSelect; }
    int GetLeNumber() const { return m_LeNumber; }
    DWORD GetLeBackplane() const { return m_LeBackplane; }
    DWORD GetLeConnector() const { return m_LeConnector; }
    DWORD GetLeSlot() const { return m_LeSlot; }
    DWORD GetLeBus() const { return m_LeBus; }
    DWORD GetLeStandard() const { return m_LeStandard; }
    DWORD GetLeNJType() const { return m_LeNJType; }
    DWORD GetLePromOptions() const { return m_LePromOptions; }

    // DigiMotion
    int GetMotFlag() const { return m_MotFlag; }
    CString& GetMotName() { return m_MotName; }
    CString& GetMotMemName() { return m_MotMemName; }
    CString& GetMotAudioName() { return m_MotAudioName1; }
    CString& GetMotAudioName1() { return m_MotAudioName1; }
    CString& GetMotAudioName2() { return m_MotAudioName2; }
    CString& GetMotAudioName3() { return m_MotAudioName3; }
    CString& GetMotCodecName() { return m_MotCodecName1; }
    CString& GetMotCodecName1() { return m_MotCodecName1; }
    CString& GetMotCodecName2() { return m_MotCodecName2; }
    int GetMotSelect() const { return m_MotSelect; }
    int GetMotNumber() const { return m_MotNumber; }
    DWORD GetMotBackplane() const { return m_MotBackplane; }
    DWORD GetMotConnector() const { return m_MotConnector; }
    DWORD GetMotBus() const { return m_MotBus; }
    DWORD GetMotSlot() const { return m_MotSlot; }

    // Genie
    int GetGniFlag() const { return m_GniFlag; }
    CString& GetGniName() { return m_GniName; }
    int GetGniSelect() const { return m_GniSelect; }
    int GetGniNumber() const { return m_GniNumber; }
    DWORD GetGniBackplane() const { return m_GniBackplane; }
    DWORD GetGniConnector() const { return m_GniConnector; }
    DWORD GetGniBus() const { return m_GniBus; }
    DWORD GetGniSlot() const { return m_GniSlot; }

    // DigiLinx
    int GetLinxFlag() const { return m_LinxFlag; }
    CString& GetLinxInput1() { return m_LinxInput1; }
    CString& GetLinxInput2() { return m_LinxInput2; }
    CString& GetLinxInput3() { return m_LinxInput3; }
    CString& GetLinxOutput1() { return m_LinxOutput1; }
    CString& GetLinxOutput2() { return m_LinxOutput2; }
    int GetLinxSelect() const { return m_LinxSelect; }
    int GetLinxNumber() const { return m_LinxNumber; }
    DWORD GetLinxBackplane() const { return m_LinxBackplane; }
    DWORD GetLinxConnector() const { return m_LinxConnector; }
    DWORD GetLinxBaseAddress() const { return m_LinxBaseAddress; }

    // DigiVid
    int GetVidFlag() const { return m_VidFlag; }
    CString& GetVidInput1() { return m_VidInput1; }
    CString& GetVidInput2() { return m_VidInput2; }
    CString& GetVidOutput1() { return m_VidOutput1; }
    CString& GetVidOutput2() { return m_VidOutput2; }
    CString& GetVidTimecode1() { return m_VidTimecode1; }
    CString& GetVidTimecode2() { return m_VidTimecode2; }
    int GetVidSelect() const { return m_VidSelect; }
    int GetVidNumber() const { return m_VidNumber; }
    DWORD GetVidBackplane() const { return m_VidBackplane; }
    DWORD GetVidConnector() const { return m_VidConnector; }
    DWORD GetVidSerialNumber() const { return m_VidSerialNumber; }

    // SDTI
    int GetSdtiFlag() const { return m_SdtiFlag; }
    CString& GetSdtiAdapterMemory1() { return m_SdtiAdapterMemory1; }
    DWORD GetSdtiBackplane() const { return m_SdtiBackplane; }
    DWORD GetSdtiConnector() const { return m_SdtiConnector; }
    CString& GetSdtiControlDevice() { return m_SdtiControlDevice; }
    CString& GetSdtiDownloadDevice() { return m_SdtiDownloadDevice; }
    CString& GetSdtiName() { return m_SdtiName; }
    DWORD GetSdtiPCIBus() const { return m_SdtiPCIBus; }
    DWORD GetSdtiPCISlot() const { return m_SdtiPCISlot; }
    CString& GetSdtiTriMediaDevice() { return m_SdtiTriMediaDevice; }
    int GetSdtiSelect() const { return m_SdtiSelect; }
    int GetSdtiNumber() const { return m_SdtiNumber; }

private:
    DWORD GetPromOptions(const char* device);

    // DigiMix
    BYTE m_MixDevice[6] = {};
    int m_MixFlag = 0;
    int m_MixSelect = 0;
    int m_MixNumber = 0;
    CString m_MixName, m_DeviceName, m_ClockName, m_GFBName;
    DWORD m_MixBackplane = 0, m_MixConnector = 0, m_MixSlot = 0, m_MixBus = 0, m_MixStandard = 0, m_MixNJType = 0,
          m_MixPromOptions = 0;
    // DigiSuiteLite
    BYTE m_LeDevice[6] = {};
    int m_LeFlag = 0;
    int m_LeSelect = 0;
    int m_LeNumber = 0;
    CString m_LeName, m_LeDeviceName, m_LeClockName, m_LeGFBName, m_LeAudioName1, m_LeAudioName2, m_LeAudioName3,
        m_LeCodecName1, m_LeCodecName2;
    DWORD m_LeBackplane = 0, m_LeConnector = 0, m_LeSlot = 0, m_LeBus = 0, m_LeStandard = 0, m_LeNJType = 0,
          m_LePromOptions = 0;
    // DigiMotion
    BYTE m_MotDevice[6] = {};
    int m_MotFlag = 0;
    int m_MotSelect = 0;
    int m_MotNumber = 0;
    CString m_MotName, m_MotMemName, m_MotAudioName1, m_MotAudioName2, m_MotAudioName3, m_MotCodecName1, m_MotCodecName2;
    DWORD m_MotBackplane = 0, m_MotConnector = 0, m_MotBus = 0, m_MotSlot = 0;
    // Genie
    BYTE m_GniDevice[6] = {};
    int m_GniFlag = 0;
    int m_GniSelect = 0;
    int m_GniNumber = 0;
    CString m_GniName;
    DWORD m_GniBackplane = 0, m_GniConnector = 0, m_GniBus = 0, m_GniSlot = 0;
    // DigiLinx
    BYTE m_LinxDevice[6] = {};
    int m_LinxFlag = 0;
    int m_LinxSelect = 0;
    int m_LinxNumber = 0;
    CString m_LinxInput1, m_LinxInput2, m_LinxInput3, m_LinxOutput1, m_LinxOutput2;
    DWORD m_LinxBackplane = 0, m_LinxConnector = 0, m_LinxBaseAddress = 0;
    // DigiVid
    BYTE m_VidDevice[6] = {};
    int m_VidFlag = 0;
    int m_VidSelect = 0;
    int m_VidNumber = 0;
    CString m_VidInput1, m_VidInput2, m_VidOutput1, m_VidOutput2, m_VidTimecode1, m_VidTimecode2;
    DWORD m_VidBackplane = 0, m_VidConnector = 0, m_VidSerialNumber = 0;
    // SDTI
    BYTE m_SdtiDevice[6] = {};
    int m_SdtiFlag = 0;
    int m_SdtiSelect = 0;
    int m_SdtiNumber = 0;
    CString m_SdtiAdapterMemory1, m_SdtiControlDevice, m_SdtiDownloadDevice, m_SdtiName, m_SdtiTriMediaDevice;
    DWORD m_SdtiBackplane = 0, m_SdtiConnector = 0, m_SdtiPCIBus = 0, m_SdtiPCISlot = 0;
};
