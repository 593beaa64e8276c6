// Creating objects by class identifier: CoCreateInstance, CoGetClassObject with its class
// factory, and creation "on a resource" through the resource factory interface.
//
// Classes register a creator function by CLSID (usually from a ClassRegistrar at namespace
// scope in the file that implements them). The creator receives the MRID of the resource the
// object is created on, 0 for none. Every class object answers both IClassFactory and the
// resource factory interface, so a caller can first check a class with IClassFactory and then
// create it on a particular board resource. Tests replace a class for their own lifetime with
// ClassOverride.
#pragma once

#include <functional>
#include <new>
#include <utility>

#include "platform/com/com_base.h"

struct IClassFactory : IUnknown {
    static constexpr GUID kIid = zk::make_guid("00000001-0000-0000-C000-000000000046");
    using Parent = IUnknown;
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;
};
inline constexpr IID IID_IClassFactory = IClassFactory::kIid;

// The board vendor's factory for objects bound to one hardware resource (an MRID).
struct IResourceFactory : IUnknown {
    static constexpr GUID kIid = zk::make_guid("760D4ED0-0FD5-11D0-8505-0020AF11EDC1");
    using Parent = IUnknown;
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object, DWORD mrid) = 0;
};
inline constexpr IID IID_IResourceFactory = IResourceFactory::kIid;

ZORVIK_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);
ZORVIK_API HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* serverInfo, REFIID iid, void** object);

namespace zk {

// Makes the object and answers `iid` from it; `mrid` 0 means no particular resource.
using ClassCreator = std::function<HRESULT(REFIID iid, void** object, DWORD mrid)>;

// `contexts` says where the class can be served from (CLSCTX_INPROC_SERVER, LOCAL_SERVER).
ZORVIK_API void register_class(REFCLSID clsid, ClassCreator creator, DWORD contexts = CLSCTX_ALL);
ZORVIK_API void unregister_class(REFCLSID clsid);
ZORVIK_API bool class_registered(REFCLSID clsid);

// Creates with the given creator and hands back `iid`: the usual body of a ClassCreator.
template <class T, class... Args> HRESULT create_object(REFIID iid, void** object, Args&&... args)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    T* created = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!created) return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

struct ClassRegistrar {
    ClassRegistrar(REFCLSID clsid, ClassCreator creator, DWORD contexts = CLSCTX_ALL)
    {
        register_class(clsid, std::move(creator), contexts);
    }
};

// Replaces (or removes, with an empty creator) a class until destroyed, then puts back what was.
class ZORVIK_API ClassOverride {
public:
    ClassOverride(REFCLSID clsid, ClassCreator creator, DWORD contexts = CLSCTX_ALL);
    ~ClassOverride();
    ClassOverride(const ClassOverride&) = delete;
    ClassOverride& operator=(const ClassOverride&) = delete;

private:
    CLSID clsid_;
    bool had_previous_ = false;
    ClassCreator previous_;
    DWORD previous_contexts_ = 0;
};

} // namespace zk
