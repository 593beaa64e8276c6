// CObject and CRuntimeClass: run-time class names and creation by class name.
//
// The storable classes of the library (image files, text and graphic objects, bitmaps) derive
// from CObject and declare themselves with DECLARE_SERIAL/IMPLEMENT_SERIAL, which registers
// their class name and schema so that an archive can create them again by name.
#pragma once

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

class CArchive;
class CObject;

// Schemas marked versionable accept older schema numbers when loading.
constexpr UINT VERSIONABLE_SCHEMA = 0x80000000u;

struct ZORVIK_API CRuntimeClass {
    const char* m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;  // 0xFFFF for classes that are not serialisable
    CObject* (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    CObject* CreateObject() const;
    bool IsDerivedFrom(const CRuntimeClass* base) const;

    // Registered classes, by exact class name; null when unknown.
    static const CRuntimeClass* FromName(const char* class_name);
    static CObject* CreateObject(const char* class_name);
    static void Register(const CRuntimeClass* cls);
};

class ZORVIK_API CObject {
public:
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;
    virtual void Serialize(CArchive& ar);
    // Diagnostics of the framework; here they check nothing and print nothing.
    virtual void AssertValid() const {}
    virtual void Dump() const {}

    bool IsSerializable() const;
    bool IsKindOf(const CRuntimeClass* cls) const;

    static const CRuntimeClass* GetThisClass();

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

#define RUNTIME_CLASS(class_name) (class_name::GetThisClass())

#define DECLARE_DYNAMIC(class_name)                                  \
public:                                                              \
    static const CRuntimeClass* GetThisClass();                      \
    const CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name)                                \
    DECLARE_DYNAMIC(class_name)                                      \
    static CObject* CreateObject();

#define DECLARE_SERIAL(class_name) DECLARE_DYNCREATE(class_name)

#define ZK_IMPLEMENT_RUNTIMECLASS(class_name, base_name, schema, create) \
    const CRuntimeClass* class_name::GetThisClass()                        \
    {                                                                      \
        static const CRuntimeClass cls{#class_name,                        \
                                       static_cast<int>(sizeof(class_name)), \
                                       schema, create,                     \
                                       base_name::GetThisClass()};         \
        return &cls;                                                       \
    }                                                                      \
    const CRuntimeClass* class_name::GetRuntimeClass() const { return class_name::GetThisClass(); }

#define IMPLEMENT_DYNAMIC(class_name, base_name) \
    ZK_IMPLEMENT_RUNTIMECLASS(class_name, base_name, 0xFFFFu, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_name)                                   \
    CObject* class_name::CreateObject() { return new class_name; }                  \
    ZK_IMPLEMENT_RUNTIMECLASS(class_name, base_name, 0xFFFFu, class_name::CreateObject) \
    static const bool zk_registered_##class_name =                                    \
        (CRuntimeClass::Register(class_name::GetThisClass()), true);

#define IMPLEMENT_SERIAL(class_name, base_name, schema)                              \
    CObject* class_name::CreateObject() { return new class_name; }                  \
    ZK_IMPLEMENT_RUNTIMECLASS(class_name, base_name, schema, class_name::CreateObject) \
    static const bool zk_registered_##class_name =                                    \
        (CRuntimeClass::Register(class_name::GetThisClass()), true);
