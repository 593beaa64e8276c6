// The on-air foundation as a host program sees it, through libzorvik.so only: an inventory,
// a filter graph on a stepped virtual board, and the platform calls a host makes itself.
#include <gtest/gtest.h>

#include "onair/chk_digi_suite.h"
#include "onair/mq_filter_graph.h"
#include "platform/testing/board.h"
#include "platform/registry/registry.h"
#include "platform/win32/win32_sync.h"
#include "platform/win32/win32_window.h"

TEST(SharedLibrary, OnAirFoundationLinksAndWorks)
{
    zk::RegistryStore store;
    store.set_string("HKLM\\SOFTWARE\\Matrox\\DigiSuite\\DigiMix\\Device0", "VideoEffectsDevice", "DigiMixVFX0");
    store.set_dword("HKCU\\SOFTWARE\\MATROX\\MQFG", "SeekTimeOut", 1500);
    zk::RegistryOverride registry(std::move(store));
    zk::BoardConfig config = zk::BoardConfig::standard();
    config.manual_clock = true;
    zk::BoardOverride board(config);

    CChkDigiSuite chk;
    EXPECT_EQ(chk.GetMixNumber(), 1);
    EXPECT_EQ(chk.GetDeviceName(), "\\\\.\\DigiMixVFX0");

    int notified = 0;
    HWND window = zk::register_window([&](UINT, WPARAM, LPARAM) { ++notified; });
    {
        CMQFilterGraph graph("host");
        ASSERT_EQ(graph.Initialize(TRUE), S_OK);
        EXPECT_EQ(graph.GetSeekTimeOut(), 1500u);
        graph.SetNotifyWindow(window);
        EXPECT_EQ(graph.GetBoardTypeFlag("digimix"), 2u);
        EXPECT_EQ(graph.Play(), S_OK);
        board.board().step_fields(10);
        EXPECT_EQ(graph.GetState(0), MQFG_STATE_RUNNING);
        EXPECT_EQ(graph.Stop(), S_OK);
        graph.Uninitialize();
    }
    zk::unregister_window(window);
    ReportError("host", E_FAIL);
    EXPECT_STREQ(GetLastErrorText(), "Error! host\nCode = 0x80004005");

    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    {
        zk::CriticalSectionLock lock(&cs);
        zk::CriticalSectionRelease released(&cs);
    }
    DeleteCriticalSection(&cs);
    const char bytes[4] = {1, 2, 3, 4};
    EXPECT_FALSE(CMQEventInfo(bytes, sizeof bytes).IsValid());
}
