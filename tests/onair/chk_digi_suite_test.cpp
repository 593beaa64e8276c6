// The DigiSuite inventory read from registry stores built in memory, with the option word
// answered by the virtual board's video-effects devices.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>

#include "onair/chk_digi_suite.h"
#include "platform/board/device_io.h"
#include "platform/board/virtual_board.h"
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
