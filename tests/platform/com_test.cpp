// GUIDs, reference counting, the class registry and BSTR text.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/com/class_registry.h"
#include "platform/com/com_base.h"

namespace {

struct IWidget : IUnknown {
    static constexpr GUID kIid = zk::make_guid("0B5E0001-1111-4222-8333-944455556666");
    using Parent = IUnknown;
    virtual int Value() = 0;
};
struct IBigWidget : IWidget {
    static constexpr GUID kIid = zk::make_guid("0B5E0002-1111-4222-8333-944455556666");
    using Parent = IWidget;
    virtual int Size() = 0;
};
struct IGadget : IUnknown {
    static constexpr GUID kIid = zk::make_guid("0B5E0003-1111-4222-8333-944455556666");
    using Parent = IUnknown;
    virtual DWORD Resource() = 0;
};

std::atomic<int> g_alive{0};

class Widget final : public zk::ComObject<IBigWidget, IGadget> {
public:
    explicit Widget(DWORD mrid = 0) : mrid_(mrid) { ++g_alive; }
    ~Widget() override { --g_alive; }
    int Value() override { return 7; }
    int Size() override { return 9; }
    DWORD Resource() override { return mrid_; }

private:
    DWORD mrid_;
};

constexpr CLSID kWidgetClass = zk::make_guid("0B5E00FF-1111-4222-8333-944455556666");

TEST(ComGuid, ParsesAndPrintsTheRegistrySpelling)
{
    const GUID g = zk::make_guid("{A2539B10-0E32-11CF-A755-0020AF11ED9E}");
    EXPECT_EQ(g.Data1, 0xA2539B10u);
    EXPECT_EQ(g.Data2, 0x0E32);
    EXPECT_EQ(g.Data4[0], 0xA7);
    EXPECT_EQ(g.Data4[7], 0x9E);
    EXPECT_EQ(zk::guid_to_string(g), "{A2539B10-0E32-11CF-A755-0020AF11ED9E}");
    GUID back{};
    ASSERT_TRUE(zk::parse_guid("a2539b10-0e32-11cf-a755-0020af11ed9e", back));
    EXPECT_EQ(back, g);
    for (const char* bad : {"", "{A2539B10-0E32-11CF-A755-0020AF11ED9E", "A2539B10-0E32-11CF-A755-0020AF11ED9",
                            "A2539B10_0E32-11CF-A755-0020AF11ED9E", "G2539B10-0E32-11CF-A755-0020AF11ED9E"}) {
        EXPECT_FALSE(zk::parse_guid(bad, back)) << bad;
    }
    EXPECT_FALSE(zk::parse_guid(nullptr, back));
}

TEST(ComObject, QueryInterfaceFollowsTheChainsAndCountsReferences)
{
    {
        auto* w = new Widget;
        EXPECT_EQ(g_alive.load(), 1);
        IWidget* base = nullptr;
        ASSERT_EQ(w->QueryInterface(IWidget::kIid, reinterpret_cast<void**>(&base)), S_OK);
        EXPECT_EQ(base->Value(), 7);
        IGadget* gadget = nullptr;
        ASSERT_EQ(base->QueryInterface(IGadget::kIid, reinterpret_cast<void**>(&gadget)), S_OK);
        IUnknown* u1 = nullptr;
        IUnknown* u2 = nullptr;
        gadget->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u1));
        base->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u2));
        EXPECT_EQ(u1, u2) << "one identity whichever interface is asked";
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(w->QueryInterface(IClassFactory::kIid, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(w->QueryInterface(IWidget::kIid, nullptr), E_POINTER);
        // Five references now: the original, base, gadget, u1, u2.
        for (IUnknown* p : {static_cast<IUnknown*>(base), static_cast<IUnknown*>(gadget), u1, u2}) p->Release();
        EXPECT_EQ(g_alive.load(), 1);
        EXPECT_EQ(w->Release(), 0u);
    }
    EXPECT_EQ(g_alive.load(), 0);
}

TEST(ComClasses, CreationNeedsAnInitialisedThreadAndARegisteredClass)
{
    zk::ClassOverride cls(kWidgetClass, [](REFIID iid, void** out, DWORD mrid) {
        return zk::create_object<Widget>(iid, out, mrid);
    });
    zk::ComPtr<IWidget> w;
    std::thread([&] {
        EXPECT_EQ(CoCreateInstance(kWidgetClass, nullptr, CLSCTX_INPROC, IWidget::kIid, w.put_void()), CO_E_NOTINITIALIZED);
    }).join();
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    ASSERT_EQ(CoCreateInstance(kWidgetClass, nullptr, CLSCTX_INPROC, IWidget::kIid, w.put_void()), S_OK);
    EXPECT_EQ(w->Value(), 7);
    zk::ComPtr<IUnknown> outer;
    EXPECT_EQ(CoCreateInstance(kWidgetClass, w.get(), CLSCTX_INPROC, IWidget::kIid, outer.put_void()),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(CoCreateInstance(zk::make_guid("0B5E00FE-1111-4222-8333-944455556666"), nullptr, CLSCTX_INPROC,
                               IWidget::kIid, outer.put_void()),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(kWidgetClass, nullptr, CLSCTX_INPROC, IClassFactory::kIid, outer.put_void()),
              E_NOINTERFACE);
    EXPECT_EQ(g_alive.load(), 1) << "a failed QueryInterface does not leak the object";

    // The class object creates plainly and on a resource.
    zk::ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(kWidgetClass, CLSCTX_INPROC, nullptr, IID_IClassFactory, factory.put_void()), S_OK);
    zk::ComPtr<IResourceFactory> resources = factory.as<IResourceFactory>();
    ASSERT_TRUE(resources);
    zk::ComPtr<IGadget> g;
    ASSERT_EQ(resources->CreateInstance(nullptr, IGadget::kIid, g.put_void(), 0x10100), S_OK);
    EXPECT_EQ(g->Resource(), 0x10100u);
    ASSERT_EQ(factory->CreateInstance(nullptr, IGadget::kIid, g.put_void()), S_OK);
    EXPECT_EQ(g->Resource(), 0u);
    CoUninitialize();
    CoUninitialize();
}

TEST(ComClasses, OverridesPutBackWhatWasThere)
{
    zk::ClassOverride first(kWidgetClass, [](REFIID iid, void** out, DWORD) { return zk::create_object<Widget>(iid, out, 1u); });
    {
        zk::ClassOverride removed(kWidgetClass, nullptr);
        EXPECT_FALSE(zk::class_registered(kWidgetClass));
    }
    EXPECT_TRUE(zk::class_registered(kWidgetClass));
}

TEST(ComText, BstrsHoldBytesAndTextConvertsBothWays)
{
    const char bytes[5] = {'a', 0, 'b', 0, 'c'};
    BSTR b = SysAllocStringByteLen(bytes, 5);
    EXPECT_EQ(SysStringByteLen(b), 5u);
    EXPECT_EQ(SysStringLen(b), 2u);
    EXPECT_EQ(std::memcmp(b, bytes, 5), 0);
    SysFreeString(b);
    SysFreeString(nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    BSTR w = SysAllocString(u"DigiMix");
    EXPECT_EQ(SysStringLen(w), 7u);
    SysFreeString(w);

    // Japanese text and a character outside the basic plane survive the round trip.
    const char* utf8 = "\xE7\x94\xBB\xE5\x83\x8F \xF0\x9F\x8E\xAC";
    const std::u16string wide = zk::to_wide(utf8);
    EXPECT_EQ(wide.size(), 5u);
    EXPECT_EQ(zk::to_ansi(wide), utf8);
    // Cutting never splits a character.
    EXPECT_EQ(zk::to_wide(utf8, 4).size(), 3u) << "the surrogate pair does not fit in one unit";
    EXPECT_EQ(zk::to_ansi(wide, 4), "\xE7\x94\xBB");
    EXPECT_EQ(zk::to_wide("\xE7\x94", 10), std::u16string(1, u'\xFFFD')) << "a cut sequence becomes one replacement";
    EXPECT_EQ(zk::to_ansi(nullptr), "");
}

} // namespace
