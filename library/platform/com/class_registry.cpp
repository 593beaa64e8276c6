// The process-wide table of classes and the class objects handed out for them.
#include "platform/com/class_registry.h"

#include <mutex>
#include <new>
#include <unordered_map>

namespace zk {
namespace {

struct Entry {
    ClassCreator creator;
    DWORD contexts = CLSCTX_ALL;
};

struct Classes {
    std::mutex lock;
    std::unordered_map<CLSID, Entry, GuidHash> by_clsid;
};

Classes& classes()
{
    static Classes c;
    return c;
}

bool find_class(REFCLSID clsid, DWORD context, Entry& out)
{
    Classes& c = classes();
    std::lock_guard<std::mutex> guard(c.lock);
    auto it = c.by_clsid.find(clsid);
    if (it == c.by_clsid.end() || !it->second.creator) return false;
    if ((it->second.contexts & context) == 0) return false;
    out = it->second;
    return true;
}

// The class object: one per request, bound to the creator it was made for.
class ClassObject final : public ComObject<IClassFactory, IResourceFactory> {
public:
    explicit ClassObject(ClassCreator creator) : creator_(std::move(creator)) {}

    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        return CreateInstance(outer, iid, object, 0);
    }
    HRESULT LockServer(BOOL) override { return S_OK; }
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object, DWORD mrid) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return creator_(iid, object, mrid);
    }

private:
    ClassCreator creator_;
};

} // namespace

void register_class(REFCLSID clsid, ClassCreator creator, DWORD contexts)
{
    Classes& c = classes();
    std::lock_guard<std::mutex> guard(c.lock);
    c.by_clsid[clsid] = Entry{std::move(creator), contexts};
}

void unregister_class(REFCLSID clsid)
{
    Classes& c = classes();
    std::lock_guard<std::mutex> guard(c.lock);
    c.by_clsid.erase(clsid);
}

bool class_registered(REFCLSID clsid)
{
    Entry e;
    return find_class(clsid, CLSCTX_ALL, e);
}

ClassOverride::ClassOverride(REFCLSID clsid, ClassCreator creator, DWORD contexts) : clsid_(clsid)
{
    Classes& c = classes();
    std::lock_guard<std::mutex> guard(c.lock);
    auto it = c.by_clsid.find(clsid);
    if (it != c.by_clsid.end()) {
        had_previous_ = true;
        previous_ = it->second.creator;
        previous_contexts_ = it->second.contexts;
    }
    if (creator) c.by_clsid[clsid] = Entry{std::move(creator), contexts};
    else c.by_clsid.erase(clsid);
}

ClassOverride::~ClassOverride()
{
    Classes& c = classes();
    std::lock_guard<std::mutex> guard(c.lock);
    if (had_previous_) c.by_clsid[clsid_] = Entry{previous_, previous_contexts_};
    else c.by_clsid.erase(clsid_);
}

} // namespace zk

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!zk::com_initialized_on_this_thread()) return CO_E_NOTINITIALIZED;
    zk::Entry entry;
    if (!zk::find_class(clsid, context, entry)) return REGDB_E_CLASSNOTREG;
    return zk::create_object<zk::ClassObject>(iid, object, std::move(entry.creator));
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!zk::com_initialized_on_this_thread()) return CO_E_NOTINITIALIZED;
    if (outer) return CLASS_E_NOAGGREGATION;
    zk::Entry entry;
    if (!zk::find_class(clsid, context, entry)) return REGDB_E_CLASSNOTREG;
    return entry.creator(iid, object, 0);
}
