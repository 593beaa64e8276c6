// The COM vocabulary the on-air layer is written in: GUIDs, HRESULT codes, IUnknown with
// reference counting, BSTR strings and task memory, and apartment initialisation.
//
// Interfaces are abstract structs deriving from IUnknown; each names its identifier as
// `kIid` and the interface it extends as `Parent`, so ComObject can answer QueryInterface for
// a whole interface chain. OLECHAR is 16 bits, as on Windows, because records that filters
// send inside BSTRs are laid out in 16-bit units; text is converted to and from UTF-8.
//
// Object creation (CoCreateInstance and the class registry) is in class_registry.h.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using OLECHAR = char16_t;
using WCHAR = char16_t;
using BSTR = OLECHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];

    friend constexpr bool operator==(const GUID& a, const GUID& b)
    {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
        for (int i = 0; i < 8; ++i) {
            if (a.Data4[i] != b.Data4[i]) return false;
        }
        return true;
    }
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b)
{
    return a == b;
}

namespace zk {

constexpr int hex_digit(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// A GUID from its registry spelling "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", braces optional.
// In a constant expression a malformed text does not compile.
constexpr GUID make_guid(const char* text)
{
    if (*text == '{') ++text;
    std::uint64_t fields[5] = {};
    const int lengths[5] = {8, 4, 4, 4, 12};
    for (int f = 0; f < 5; ++f) {
        for (int i = 0; i < lengths[f]; ++i) {
            const int d = hex_digit(*text++);
            if (d < 0) throw "malformed GUID";
            fields[f] = fields[f] << 4 | static_cast<std::uint64_t>(d);
        }
        if (f < 4 && *text++ != '-') throw "malformed GUID";
    }
    GUID g{static_cast<DWORD>(fields[0]), static_cast<WORD>(fields[1]), static_cast<WORD>(fields[2]), {}};
    g.Data4[0] = static_cast<BYTE>(fields[3] >> 8);
    g.Data4[1] = static_cast<BYTE>(fields[3]);
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<BYTE>(fields[4] >> (40 - 8 * i));
    return g;
}

// Parses at run time; false for anything that is not a GUID.
ZORVIK_API bool parse_guid(const char* text, GUID& out);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in capitals.
ZORVIK_API std::string guid_to_string(REFGUID g);

struct GuidHash {
    size_t operator()(REFGUID g) const
    {
        size_t h = g.Data1 ^ (static_cast<size_t>(g.Data2) << 16) ^ g.Data3;
        for (BYTE b : g.Data4) h = h * 131 + b;
        return h;
    }
};

} // namespace zk

constexpr HRESULT hresult(std::uint32_t code)
{
    return static_cast<HRESULT>(code);
}
constexpr bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr)
{
    return hr < 0;
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = hresult(0x80004001);
constexpr HRESULT E_NOINTERFACE = hresult(0x80004002);
constexpr HRESULT E_POINTER = hresult(0x80004003);
constexpr HRESULT E_ABORT = hresult(0x80004004);
constexpr HRESULT E_FAIL = hresult(0x80004005);
constexpr HRESULT E_UNEXPECTED = hresult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = hresult(0x80070005);
constexpr HRESULT E_HANDLE = hresult(0x80070006);
constexpr HRESULT E_OUTOFMEMORY = hresult(0x8007000E);
constexpr HRESULT E_INVALIDARG = hresult(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = hresult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hresult(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = hresult(0x80040154);
constexpr HRESULT CO_E_NOTINITIALIZED = hresult(0x800401F0);
constexpr HRESULT RPC_E_CHANGED_MODE = hresult(0x80010106);

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC | CLSCTX_LOCAL_SERVER;

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

struct IUnknown {
    static constexpr GUID kIid = zk::make_guid("00000000-0000-0000-C000-000000000046");
    using Parent = IUnknown;
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};
inline constexpr IID IID_IUnknown = IUnknown::kIid;

// BSTR: a length-prefixed 16-bit string that may hold any bytes, NUL included.
ZORVIK_API BSTR SysAllocString(const OLECHAR* text);
ZORVIK_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
ZORVIK_API BSTR SysAllocStringByteLen(const char* bytes, UINT length);
ZORVIK_API void SysFreeString(BSTR text);
ZORVIK_API UINT SysStringLen(BSTR text);
ZORVIK_API UINT SysStringByteLen(BSTR text);

ZORVIK_API void* CoTaskMemAlloc(size_t bytes);
ZORVIK_API void CoTaskMemFree(void* block);

// Apartment initialisation is counted per thread: the first call answers S_OK, later ones
// S_FALSE, and creating objects on a thread that never initialised fails with
// CO_E_NOTINITIALIZED, as it does on Windows.
ZORVIK_API HRESULT CoInitializeEx(void* reserved, DWORD model);
ZORVIK_API HRESULT CoInitialize(void* reserved);
ZORVIK_API void CoUninitialize();
ZORVIK_API HRESULT OleInitialize(void* reserved);
ZORVIK_API void OleUninitialize();

namespace zk {

bool com_initialized_on_this_thread();

// UTF-8 to 16-bit text, cut to at most `max_units` units (terminator not counted).
ZORVIK_API std::u16string to_wide(const char* text, size_t max_units = static_cast<size_t>(-1));
// 16-bit text to UTF-8, cut to at most `max_bytes` bytes without splitting a character.
ZORVIK_API std::string to_ansi(const OLECHAR* text, size_t max_bytes = static_cast<size_t>(-1));
ZORVIK_API std::string to_ansi(const std::u16string& text, size_t max_bytes = static_cast<size_t>(-1));

template <class I> constexpr bool interface_matches(REFIID iid)
{
    if (iid == I::kIid) return true;
    if constexpr (std::is_same_v<I, IUnknown>) {
        return false;
    } else {
        return interface_matches<typename I::Parent>(iid);
    }
}

// Reference counting and QueryInterface for an object implementing `Interfaces`. Further
// interfaces (inner objects, extensions) are answered by overriding query_extra.
template <class... Interfaces> class ComObject : public Interfaces... {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(static_cast<first_interface*>(this));
        } else {
            ((*object == nullptr && interface_matches<Interfaces>(iid) && offers(iid)
                  ? (void)(*object = static_cast<Interfaces*>(this))
                  : (void)0),
             ...);
        }
        if (!*object) *object = query_extra(iid);
        if (!*object) return E_NOINTERFACE;
        static_cast<IUnknown*>(static_cast<first_interface*>(this))->AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;
    // An interface pointer (not yet AddRef'd) for an identifier the list does not name.
    virtual void* query_extra(REFIID) { return nullptr; }
    // Lets an object withhold interfaces it implements but does not offer in its current
    // configuration (a filter that is not a file source, for example).
    virtual bool offers(REFIID) const { return true; }

private:
    template <class First, class...> struct first_of {
        using type = First;
    };
    using first_interface = typename first_of<Interfaces...>::type;
    std::atomic<ULONG> refs_{1};
};

// An owning interface pointer.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already holds.
    static ComPtr attach(T* p)
    {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    // Adds a reference of its own.
    static ComPtr share(T* p)
    {
        if (p) p->AddRef();
        return attach(p);
    }
    ComPtr(const ComPtr& o) : p_(o.p_)
    {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ComPtr& operator=(const ComPtr& o)
    {
        if (this != &o) {
            if (o.p_) o.p_->AddRef();
            reset();
            p_ = o.p_;
        }
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept
    {
        if (this != &o) {
            reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset()
    {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out parameters: releases what is held and gives the slot.
    T** put()
    {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    T* detach()
    {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    // QueryInterface into another type; empty when the object does not have it.
    template <class U> ComPtr<U> as() const
    {
        ComPtr<U> out;
        if (p_) p_->QueryInterface(U::kIid, out.put_void());
        return out;
    }

private:
    T* p_ = nullptr;
};

} // namespace zk
