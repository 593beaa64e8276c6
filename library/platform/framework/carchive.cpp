// CArchive over a CFile, with the framework's tagged object form.
#include "platform/framework/carchive.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr WORD kNullTag = 0;
constexpr WORD kNewClassTag = 0xFFFF;
constexpr WORD kClassTag = 0x8000;
constexpr size_t kMaxClassName = 64;

} // namespace

CArchive::CArchive(CFile* file, UINT mode) : file_(file), mode_(mode)
{
}

void CArchive::Flush()
{
    if (file_ && IsStoring()) file_->Flush();
}

UINT CArchive::Read(void* buffer, UINT count)
{
    if (!file_) throw CArchiveException(CArchiveException::genericException);
    if (IsStoring()) throw CArchiveException(CArchiveException::writeOnly);
    return file_->Read(buffer, count);
}

void CArchive::Write(const void* buffer, UINT count)
{
    if (!file_) throw CArchiveException(CArchiveException::genericException);
    if (IsLoading()) throw CArchiveException(CArchiveException::readOnly);
    file_->Write(buffer, count);
}

CArchive& CArchive::get(void* p, UINT n)
{
    if (Read(p, n) != n) throw CArchiveException(CArchiveException::endOfFile);
    return *this;
}

// Strings carry their length in the smallest form that holds it: a byte below 0xFF, else
// 0xFF and a word below 0xFFFF, else 0xFF, 0xFFFF and a double word.
CArchive& CArchive::operator<<(const CString& s)
{
    const DWORD n = static_cast<DWORD>(s.GetLength());
    if (n < 0xFF) {
        *this << static_cast<BYTE>(n);
    } else if (n < 0xFFFE) {
        *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(n);
    } else {
        *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(0xFFFF) << n;
    }
    Write(s.GetString(), n);
    return *this;
}

CArchive& CArchive::operator>>(CString& s)
{
    BYTE b = 0;
    *this >> b;
    DWORD n = b;
    if (b == 0xFF) {
        WORD w = 0;
        *this >> w;
        n = w;
        if (w == 0xFFFF) *this >> n;
    }
    // Never trust a stored length beyond what the file still holds.
    const ULONGLONG left = file_->GetLength() - std::min(file_->GetLength(), file_->GetPosition());
    if (n > left) throw CArchiveException(CArchiveException::endOfFile);
    std::string bytes(n, '\0');
    get(bytes.data(), n);
    s = CString(std::move(bytes));
    return *this;
}

void CArchive::WriteObject(const CObject* obj)
{
    if (!obj) {
        *this << kNullTag;
        return;
    }
    const CRuntimeClass* cls = obj->GetRuntimeClass();
    if (cls->m_wSchema == 0xFFFFu) throw CArchiveException(CArchiveException::badClass);
    size_t index = 0;
    for (size_t i = 0; i < classes_.size(); ++i) {
        if (classes_[i] == cls) index = i + 1;
    }
    if (index) {
        *this << static_cast<WORD>(kClassTag | index);
    } else {
        const size_t len = std::strlen(cls->m_lpszClassName);
        *this << kNewClassTag << static_cast<WORD>(cls->m_wSchema & ~VERSIONABLE_SCHEMA)
              << static_cast<WORD>(len);
        Write(cls->m_lpszClassName, static_cast<UINT>(len));
        classes_.push_back(cls);
    }
    const_cast<CObject*>(obj)->Serialize(*this);
}

CObject* CArchive::ReadObject(const CRuntimeClass* expected)
{
    WORD tag = 0;
    *this >> tag;
    if (tag == kNullTag) return nullptr;

    const CRuntimeClass* cls = nullptr;
    UINT schema = 0;
    if (tag == kNewClassTag) {
        WORD stored_schema = 0, len = 0;
        *this >> stored_schema >> len;
        if (len == 0 || len > kMaxClassName) throw CArchiveException(CArchiveException::badClass);
        char name[kMaxClassName + 1] = {};
        get(name, len);
        cls = CRuntimeClass::FromName(name);
        if (!cls || !cls->m_pfnCreateObject) throw CArchiveException(CArchiveException::badClass);
        const UINT own = cls->m_wSchema & ~VERSIONABLE_SCHEMA;
        if (stored_schema != own && !(cls->m_wSchema & VERSIONABLE_SCHEMA)) {
            throw CArchiveException(CArchiveException::badSchema);
        }
        schema = stored_schema;
        classes_.push_back(cls);
    } else if (tag & kClassTag) {
        const size_t index = tag & ~kClassTag;
        if (index == 0 || index > classes_.size()) throw CArchiveException(CArchiveException::badIndex);
        cls = classes_[index - 1];
        schema = cls->m_wSchema & ~VERSIONABLE_SCHEMA;
    } else {
        // References to objects read earlier are not written by this archive.
        throw CArchiveException(CArchiveException::badIndex);
    }
    if (expected && !cls->IsDerivedFrom(expected)) throw CArchiveException(CArchiveException::badClass);

    std::unique_ptr<CObject> obj(cls->CreateObject());
    if (!obj) throw CArchiveException(CArchiveException::badClass);
    const UINT saved = schema_;
    schema_ = schema;
    obj->Serialize(*this);
    schema_ = saved;
    return obj.release();
}
