// The DigiSuite inventory read from registry stores built in memory, with the option word
// answered by the virtual board's video-effects devices.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>

#include "onair/chk_digi_suite.h"
#include "platform/testing/devices.h"
#include "platform/testing/board.h"
#include "platform/registry/registry.h"

namespace {

const std::string kSuite = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Matrox\\DigiSuite\\";

std::string device(const char* family, int n)
{
    return kSuite + family + "\\Device" + std::to_string(n);
}

// A board whose effects devices report the given option words.
zk::BoardConfig board_with(std::map<std::string, DWORD> devices)
{
    zk::BoardConfig c = zk::BoardConfig::standard();
    c.effects_devices = std::move(devices);
    return c;
}

TEST(ChkDigiSuite, NoKeysMeansNothingInstalled)
{
    zk::RegistryOverride registry{zk::RegistryStore{}};
    CChkDigiSuite chk;
    EXPECT_EQ(chk.GetMixFlag() + chk.GetLeFlag() + chk.GetMotFlag() + chk.GetGniFlag() + chk.GetLinxFlag() +
                  chk.GetVidFlag() + chk.GetSdtiFlag(),
              0);
    EXPECT_EQ(chk.GetMixNumber() + chk.GetLeNumber() + chk.GetMotNumber() + chk.GetGniNumber() + chk.GetLinxNumber() +
                  chk.GetVidNumber() + chk.GetSdtiNumber(),
              0);
    for (CString* s : {&chk.GetMixName(), &chk.GetDeviceName(), &chk.GetClockName(), &chk.GetGFBName(),
                       &chk.GetLeName(), &chk.GetMotName(), &chk.GetGniName(), &chk.GetLinxInput1(),
                       &chk.GetVidTimecode2(), &chk.GetSdtiName()}) {
        EXPECT_TRUE(s->IsEmpty());
    }
    EXPECT_EQ(chk.GetMixPromOptions(), 0u);
    EXPECT_EQ(chk.GetMixSelect(), 0);
}

TEST(ChkDigiSuite, TheBuiltInRegistryDescribesTheVirtualBoard)
{
    auto store = zk::RegistryStore::parse(zk::RegistryStore::default_text());
    ASSERT_TRUE(store);
    zk::RegistryOverride registry{std::move(*store)};
    zk::BoardOverride board(board_with({{"DigiMixVFX0", 0x800}}));
    CChkDigiSuite chk;
    EXPECT_EQ(chk.GetMixFlag(), 1);
    EXPECT_EQ(chk.GetMixNumber(), 1);
    EXPECT_EQ(chk.GetMixName(), "DigiMix");
    EXPECT_EQ(chk.GetDeviceName(), "\\\\.\\DigiMixVFX0");
    EXPECT_EQ(chk.GetGFBName(), "\\\\.\\DigiMixGFB0");
    EXPECT_EQ(chk.GetClockName(), "\\\\.\\DigiSuiteSystemClock0");
    EXPECT_EQ(chk.GetMixSlot(), 3u);
    EXPECT_EQ(chk.GetMixStandard(), 1u);
    EXPECT_EQ(chk.GetMixPromOptions(), 0x800u);
    EXPECT_EQ(chk.GetMixNJType(), 1u);
}

TEST(ChkDigiSuite, NullDevicesDoNotCountAndTheFirstPresentIsSelected)
{
    zk::RegistryStore s;
    s.set_string(device("DigiMix", 0), "VideoEffectsDevice", "NULL");
    s.set_string(device("DigiMix", 0), "NAME", "Dead");
    s.set_string(device("DigiMix", 2), "VideoEffectsDevice", "DigiMixVFX2");
    s.set_string(device("DigiMix", 2), "NAME", "Second");
    s.set_string(device("DigiMix", 2), "GraphicDevice", "NULL");
    s.set_dword(device("DigiMix", 2), "BACKPLANE", 3);
    s.set_dword(device("DigiMix", 2), "CONNECTOR", 1);
    s.set_dword(device("DigiMix", 2), "PCIBus", 2);
    s.set_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\MOVIE2\\Backplane3\\Settings", "VideoStandard", 2);
    s.set_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\MOVIE2\\Backplane0\\Settings", "VideoStandard", 1);
    zk::RegistryOverride registry{std::move(s)};
    zk::BoardOverride board(board_with({{"DigiMixVFX2", 0x400}}));
    CChkDigiSuite chk;
    EXPECT_EQ(chk.GetMixNumber(), 1);
    EXPECT_EQ(chk.GetMixSelect(), 2);
    const BYTE expected[6] = {0, 0, 1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(chk.GetMixDevices(), expected, 6), 0);
    EXPECT_EQ(chk.GetMixName(), "Second");
    EXPECT_EQ(chk.GetDeviceName(), "\\\\.\\DigiMixVFX2");
    EXPECT_TRUE(chk.GetGFBName().IsEmpty()) << "a \"NULL\" string is no value";
    EXPECT_EQ(chk.GetClockName(), "\\\\.\\DigiSuiteSystemClock3");
    EXPECT_EQ(chk.GetMixConnector(), 1u);
    EXPECT_EQ(chk.GetMixBus(), 2u);
    EXPECT_EQ(chk.GetMixSlot(), 0u) << "missing numbers stay 0";
    EXPECT_EQ(chk.GetMixStandard(), 2u) << "the standard of the device's own backplane";
    EXPECT_EQ(chk.GetMixPromOptions(), 0x400u);
    EXPECT_EQ(chk.GetMixNJType(), 0u);
}

TEST(ChkDigiSuite, SubkeyFamiliesCountTheirSubkeys)
{
    zk::RegistryStore s;
    s.create_key(device("DigiLinx", 1));
    s.create_key(device("DigiLinx", 3));
    s.set_string(device("DigiLinx", 1), "Input2", "SDI B");
    s.set_dword(device("DigiLinx", 1), "BaseAddress", 0x300);
    s.set_dword(device("DigiLinx", 3), "BaseAddress", 0x310);
    s.create_key(kSuite + "DigiVid"); // a family key with no devices
    // Spelled differently from the family key the inventory opens: the registry ignores case.
    s.set_string("HKEY_LOCAL_MACHINE\\SOFTWARE\\matrox\\digisuite\\DigiSuiteSdti\\Device4", "ControlDevice", "SdtiCtl");
    s.set_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\matrox\\digisuite\\DigiSuiteSdti\\Device4", "PCISlot", 9);
    zk::RegistryOverride registry{std::move(s)};
    CChkDigiSuite chk;
    EXPECT_EQ(chk.GetLinxFlag(), 1);
    EXPECT_EQ(chk.GetLinxNumber(), 2);
    EXPECT_EQ(chk.GetLinxSelect(), 1);
    EXPECT_EQ(chk.GetLinxInput2(), "SDI B");
    EXPECT_EQ(chk.GetLinxBaseAddress(), 0x300u);
    EXPECT_EQ(chk.GetVidFlag(), 0);
    EXPECT_EQ(chk.GetVidNumber(), 0);
    EXPECT_EQ(chk.GetSdtiNumber(), 1);
    EXPECT_EQ(chk.GetSdtiSelect(), 4);
    EXPECT_EQ(chk.GetSdtiControlDevice(), "SdtiCtl");
    EXPECT_EQ(chk.GetSdtiPCISlot(), 9u);
}

TEST(ChkDigiSuite, OtherFamiliesReadTheirOwnValues)
{
    zk::RegistryStore s;
    s.set_string(device("DIGISUITELITE", 0), "VideoEffectsDevice", "LeVFX");
    s.set_string(device("DIGISUITELITE", 0), "Audio2", "Aud2");
    s.set_string(device("DIGISUITELITE", 0), "Codec1", "Cod1");
    s.set_dword(device("DIGISUITELITE", 0), "BACKPLANE", 1);
    s.set_string(device("DigiMotion", 1), "NAME", "Motion");
    s.set_string(device("DigiMotion", 1), "AdapterMemory1", "Mem1");
    s.set_string(device("DigiMotion", 0), "NAME", "NULL");
    s.set_string(device("Genie", 5), "NAME", "Genie 3D");
    s.set_dword(device("Genie", 5), "PCIBus", 4);
    s.create_key(device("DigiVid", 0));
    s.set_string(device("DigiVid", 0), "Timecode2", "LTC");
    s.set_dword(device("DigiVid", 0), "SerialNumber", 12345);
    zk::RegistryOverride registry{std::move(s)};
    zk::BoardOverride board(board_with({{"LeVFX", 0xC00}}));
    CChkDigiSuite chk;
    EXPECT_EQ(chk.GetLeFlag(), 1);
    EXPECT_EQ(chk.GetLeDeviceName(), "\\\\.\\LeVFX");
    EXPECT_EQ(chk.GetLeClockName(), "\\\\.\\DigiSuiteSystemClock1");
    EXPECT_EQ(chk.GetLeAudioName2(), "Aud2");
    EXPECT_EQ(chk.GetLeCodecName(), "Cod1");
    EXPECT_EQ(chk.GetLeNJType(), 1u);
    EXPECT_EQ(chk.GetMotNumber(), 1);
    EXPECT_EQ(chk.GetMotSelect(), 1);
    EXPECT_EQ(chk.GetMotMemName(), "Mem1");
    EXPECT_EQ(chk.GetGniSelect(), 5);
    EXPECT_EQ(chk.GetGniName(), "Genie 3D");
    EXPECT_EQ(chk.GetGniBus(), 4u);
    EXPECT_EQ(chk.GetVidTimecode2(), "LTC");
    EXPECT_EQ(chk.GetVidSerialNumber(), 12345u);
    // Copies carry everything.
    CChkDigiSuite copy = chk;
    EXPECT_EQ(copy.GetGniName(), "Genie 3D");
    EXPECT_EQ(copy.GetLeNJType(), 1u);
}

// Each value of each family lands in its own member: every device carries distinct strings
// and numbers, and every getter must give back exactly the one stored under its name.
TEST(ChkDigiSuite, EveryValueReachesItsOwnGetter)
{
    using StringGetter = CString& (CChkDigiSuite::*)();
    using NumberGetter = DWORD (CChkDigiSuite::*)() const;
    struct StringCase {
        const char* family;
        const char* name;
        StringGetter get;
        bool device_path; // handed on as "\\.\value"
    };
    struct NumberCase {
        const char* family;
        const char* name;
        NumberGetter get;
    };
    using C = CChkDigiSuite;
    const StringCase strings[] = {
        {"DigiMix", "NAME", &C::GetMixName, false},
        {"DigiMix", "VideoEffectsDevice", &C::GetDeviceName, true},
        {"DigiMix", "GraphicDevice", &C::GetGFBName, true},
        {"DIGISUITELITE", "NAME", &C::GetLeName, false},
        {"DIGISUITELITE", "VideoEffectsDevice", &C::GetLeDeviceName, true},
        {"DIGISUITELITE", "GraphicDevice", &C::GetLeGFBName, true},
        {"DIGISUITELITE", "Audio1", &C::GetLeAudioName1, false},
        {"DIGISUITELITE", "Audio2", &C::GetLeAudioName2, false},
        {"DIGISUITELITE", "Audio3", &C::GetLeAudioName3, false},
        {"DIGISUITELITE", "Codec1", &C::GetLeCodecName1, false},
        {"DIGISUITELITE", "Codec2", &C::GetLeCodecName2, false},
        {"DigiMotion", "NAME", &C::GetMotName, false},
        {"DigiMotion", "AdapterMemory1", &C::GetMotMemName, false},
        {"DigiMotion", "Audio1", &C::GetMotAudioName1, false},
        {"DigiMotion", "Audio2", &C::GetMotAudioName2, false},
        {"DigiMotion", "Audio3", &C::GetMotAudioName3, false},
        {"DigiMotion", "Codec1", &C::GetMotCodecName1, false},
        {"DigiMotion", "Codec2", &C::GetMotCodecName2, false},
        {"Genie", "NAME", &C::GetGniName, false},
        {"DigiLinx", "Input1", &C::GetLinxInput1, false},
        {"DigiLinx", "Input2", &C::GetLinxInput2, false},
        {"DigiLinx", "Input3", &C::GetLinxInput3, false},
        {"DigiLinx", "Output1", &C::GetLinxOutput1, false},
        {"DigiLinx", "Output2", &C::GetLinxOutput2, false},
        {"DigiVid", "Input1", &C::GetVidInput1, false},
        {"DigiVid", "Input2", &C::GetVidInput2, false},
        {"DigiVid", "Output1", &C::GetVidOutput1, false},
        {"DigiVid", "Output2", &C::GetVidOutput2, false},
        {"DigiVid", "Timecode1", &C::GetVidTimecode1, false},
        {"DigiVid", "Timecode2", &C::GetVidTimecode2, false},
        {"DIGISUITESDTI", "AdapterMemory1", &C::GetSdtiAdapterMemory1, false},
        {"DIGISUITESDTI", "ControlDevice", &C::GetSdtiControlDevice, false},
        {"DIGISUITESDTI", "DownloadDevice", &C::GetSdtiDownloadDevice, false},
        {"DIGISUITESDTI", "NAME", &C::GetSdtiName, false},
        {"DIGISUITESDTI", "TriMediaDevice", &C::GetSdtiTriMediaDevice, false},
    };
    const NumberCase numbers[] = {
        {"DigiMix", "BACKPLANE", &C::GetMixBackplane},
        {"DigiMix", "CONNECTOR", &C::GetMixConnector},
        {"DigiMix", "PCISlot", &C::GetMixSlot},
        {"DigiMix", "PCIBus", &C::GetMixBus},
        {"DIGISUITELITE", "BACKPLANE", &C::GetLeBackplane},
        {"DIGISUITELITE", "CONNECTOR", &C::GetLeConnector},
        {"DIGISUITELITE", "PCISlot", &C::GetLeSlot},
        {"DIGISUITELITE", "PCIBus", &C::GetLeBus},
        {"DigiMotion", "BACKPLANE", &C::GetMotBackplane},
        {"DigiMotion", "CONNECTOR", &C::GetMotConnector},
        {"DigiMotion", "PCISlot", &C::GetMotSlot},
        {"DigiMotion", "PCIBus", &C::GetMotBus},
        {"Genie", "BACKPLANE", &C::GetGniBackplane},
        {"Genie", "CONNECTOR", &C::GetGniConnector},
        {"Genie", "PCISlot", &C::GetGniSlot},
        {"Genie", "PCIBus", &C::GetGniBus},
        {"DigiLinx", "BACKPLANE", &C::GetLinxBackplane},
        {"DigiLinx", "CONNECTOR", &C::GetLinxConnector},
        {"DigiLinx", "BaseAddress", &C::GetLinxBaseAddress},
        {"DigiVid", "BACKPLANE", &C::GetVidBackplane},
        {"DigiVid", "CONNECTOR", &C::GetVidConnector},
        {"DigiVid", "SerialNumber", &C::GetVidSerialNumber},
        {"DIGISUITESDTI", "BACKPLANE", &C::GetSdtiBackplane},
        {"DIGISUITESDTI", "CONNECTOR", &C::GetSdtiConnector},
        {"DIGISUITESDTI", "PCIBus", &C::GetSdtiPCIBus},
        {"DIGISUITESDTI", "PCISlot", &C::GetSdtiPCISlot},
    };
    auto text_of = [](const char* family, const char* name) { return std::string(family) + "." + name; };
    zk::RegistryStore s;
    for (const StringCase& c : strings) s.set_string(device(c.family, 0), c.name, text_of(c.family, c.name));
    DWORD next = 11;
    for (const NumberCase& c : numbers) s.set_dword(device(c.family, 0), c.name, next++);
    s.set_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\MOVIE2\\Backplane11\\Settings", "VideoStandard", 7);
    s.set_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\MOVIE2\\Backplane15\\Settings", "VideoStandard", 8);
    zk::RegistryOverride registry{std::move(s)};
    CChkDigiSuite chk;

    for (const StringCase& c : strings) {
        const std::string want = (c.device_path ? "\\\\.\\" : "") + text_of(c.family, c.name);
        EXPECT_EQ(std::string((chk.*c.get)().GetString()), want) << c.family << " " << c.name;
    }
    next = 11;
    for (const NumberCase& c : numbers) EXPECT_EQ((chk.*c.get)(), next++) << c.family << " " << c.name;
    EXPECT_EQ(chk.GetClockName(), "\\\\.\\DigiSuiteSystemClock11");
    EXPECT_EQ(chk.GetLeClockName(), "\\\\.\\DigiSuiteSystemClock15");
    EXPECT_EQ(chk.GetMixStandard(), 7u) << "the standard of the DigiMix's own backplane";
    EXPECT_EQ(chk.GetLeStandard(), 8u) << "the standard of the DigiSuiteLite's own backplane";
    EXPECT_EQ(chk.GetMixFlag() + chk.GetLeFlag() + chk.GetMotFlag() + chk.GetGniFlag() + chk.GetLinxFlag() +
                  chk.GetVidFlag() + chk.GetSdtiFlag(),
              7);
}

struct BadValueCase {
    const char* name;
    std::function<void(zk::RegistryStore&)> fill;
};

class ChkDigiSuiteBadValues : public ::testing::TestWithParam<BadValueCase> {};

TEST_P(ChkDigiSuiteBadValues, LeaveTheirMembersEmpty)
{
    zk::RegistryStore s;
    s.set_string(device("DigiMix", 0), "VideoEffectsDevice", "DigiMixVFX0");
    GetParam().fill(s);
    zk::RegistryOverride registry{std::move(s)};
    CChkDigiSuite chk;
    EXPECT_EQ(chk.GetMixNumber(), 1);
    EXPECT_TRUE(chk.GetMixName().IsEmpty());
    EXPECT_EQ(chk.GetMixSlot(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ChkDigiSuiteBadValues,
    ::testing::Values(
        BadValueCase{"StringTooLong",
                     [](zk::RegistryStore& s) { s.set_string(device("DigiMix", 0), "NAME", std::string(256, 'x')); }},
        BadValueCase{"NumberAsString",
                     [](zk::RegistryStore& s) {
                         s.set_dword(device("DigiMix", 0), "NAME", 7);
                         s.set_string(device("DigiMix", 0), "PCISlot", "7");
                     }},
        BadValueCase{"NumberTooLong",
                     [](zk::RegistryStore& s) {
                         s.set_binary(device("DigiMix", 0), "PCISlot", {1, 0, 0, 0, 0, 0, 0, 0});
                     }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChkDigiSuite, OptionWordNeedsAnAnsweringDevice)
{
    zk::RegistryStore s;
    s.set_string(device("DigiMix", 0), "VideoEffectsDevice", "Missing");
    zk::RegistryOverride registry{std::move(s)};
    {
        CChkDigiSuite chk;
        EXPECT_EQ(chk.GetMixPromOptions(), 0u) << "a device that cannot be opened gives 0";
    }
    // A device that answers with less than the ten words holding the option word gives 0.
    class ShortDevice final : public zk::VirtualDevice {
    public:
        BOOL control(DWORD, const void*, DWORD, void* out, DWORD, DWORD* returned, OVERLAPPED*) override
        {
            static_cast<DWORD*>(out)[9] = 0x800;
            *returned = 36;
            return TRUE;
        }
    };
    zk::DeviceOverride dev("Missing", [] { return std::make_shared<ShortDevice>(); });
    CChkDigiSuite chk;
    EXPECT_EQ(chk.GetMixPromOptions(), 0u);
    EXPECT_EQ(chk.GetMixNJType(), 0u);
}

} // namespace
