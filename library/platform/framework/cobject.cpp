// The class registry behind CRuntimeClass::FromName, and CObject's defaults.
#include "platform/framework/cobject.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace {

struct ClassRegistry {
    std::mutex lock;
    std::vector<const CRuntimeClass*> classes;
};

ClassRegistry& registry()
{
    static ClassRegistry r;
    return r;
}

} // namespace

CObject* CRuntimeClass::CreateObject() const
{
    return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const
{
    for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass) {
        if (c == base) return true;
    }
    return false;
}

void CRuntimeClass::Register(const CRuntimeClass* cls)
{
    ClassRegistry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (const CRuntimeClass* c : r.classes) {
        if (c == cls) return;
    }
    r.classes.push_back(cls);
}

const CRuntimeClass* CRuntimeClass::FromName(const char* class_name)
{
    if (!class_name) return nullptr;
    ClassRegistry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (const CRuntimeClass* c : r.classes) {
        if (std::strcmp(c->m_lpszClassName, class_name) == 0) return c;
    }
    return nullptr;
}

CObject* CRuntimeClass::CreateObject(const char* class_name)
{
    const CRuntimeClass* c = FromName(class_name);
    return c ? c->CreateObject() : nullptr;
}

const CRuntimeClass* CObject::GetThisClass()
{
    static const CRuntimeClass cls{"CObject", static_cast<int>(sizeof(CObject)), 0xFFFFu, nullptr, nullptr};
    return &cls;
}

const CRuntimeClass* CObject::GetRuntimeClass() const
{
    return GetThisClass();
}

void CObject::Serialize(CArchive&)
{
}

bool CObject::IsSerializable() const
{
    return GetRuntimeClass()->m_wSchema != 0xFFFFu;
}

bool CObject::IsKindOf(const CRuntimeClass* cls) const
{
    return GetRuntimeClass()->IsDerivedFrom(cls);
}
