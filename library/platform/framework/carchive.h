// CArchive: loading and storing values and objects over a CFile.
//
// The archive writes straight through to its file (it keeps no buffer of its own), so a
// storable class may flush the archive and then read or write its record directly on
// GetFile(), as the library's classes do. Values are little-endian. Objects are written in
// the framework's tagged form: a new class as 0xFFFF, schema word, name length word and name;
// a class seen before as 0x8000 | its index; a null object as 0. Failures throw
// CArchiveException (or the file's CFileException), as the framework does.
#pragma once

#include <vector>

#include "core/zorvik_api.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cobject.h"
#include "platform/framework/cstring.h"

class ZORVIK_API CArchiveException {
public:
    enum { none = 0, genericException, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };
    explicit CArchiveException(int cause = none) : m_cause(cause) {}
    int m_cause;
};

class ZORVIK_API CArchive {
public:
    enum Mode : UINT { store = 0, load = 1, bNoFlushOnDelete = 2 };

    CArchive(CFile* file, UINT mode);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    ~CArchive() = default;

    BOOL IsLoading() const { return (mode_ & load) != 0; }
    BOOL IsStoring() const { return (mode_ & load) == 0; }
    CFile* GetFile() const { return file_; }
    void Flush();
    void Close() { file_ = nullptr; }
    void Abort() { file_ = nullptr; }

    UINT Read(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);

    CArchive& operator<<(BYTE v) { return put(&v, 1); }
    CArchive& operator<<(WORD v) { return put(&v, 2); }
    CArchive& operator<<(LONG v) { return put(&v, 4); }
    CArchive& operator<<(DWORD v) { return put(&v, 4); }
    CArchive& operator<<(float v) { return put(&v, 4); }
    CArchive& operator<<(double v) { return put(&v, 8); }
    CArchive& operator<<(const CString& s);
    CArchive& operator>>(BYTE& v) { return get(&v, 1); }
    CArchive& operator>>(WORD& v) { return get(&v, 2); }
    CArchive& operator>>(LONG& v) { return get(&v, 4); }
    CArchive& operator>>(DWORD& v) { return get(&v, 4); }
    CArchive& operator>>(float& v) { return get(&v, 4); }
    CArchive& operator>>(double& v) { return get(&v, 8); }
    CArchive& operator>>(CString& s);

    void WriteObject(const CObject* obj);
    // Creates the object named in the archive and lets it load itself. When `expected` is
    // given the object must be of that class or derived from it.
    CObject* ReadObject(const CRuntimeClass* expected);
    // The schema of the object being loaded, for its Serialize.
    UINT GetObjectSchema() const { return schema_; }

private:
    CArchive& put(const void* p, UINT n) { Write(p, n); return *this; }
    CArchive& get(void* p, UINT n);

    CFile* file_;
    UINT mode_;
    UINT schema_ = 0;
    std::vector<const CRuntimeClass*> classes_;  // index 1.. in order of first appearance
};

inline CArchive& operator<<(CArchive& ar, const CObject* obj)
{
    ar.WriteObject(obj);
    return ar;
}

inline CArchive& operator>>(CArchive& ar, CObject*& obj)
{
    obj = ar.ReadObject(nullptr);
    return ar;
}
