// CFile, CMemFile and CFileException: the framework's binary file, as the codecs and the
// storable objects use it.
//
// Like the framework it stands in for, CFile reports failures of Read, Write and Seek by
// throwing CFileException (by value here); Open reports through its return value and an
// optional exception record. The library's own classes catch these inside and turn them into
// result codes. Sharing flags are accepted and not enforced: Linux has no mandatory sharing.
#pragma once

#include <cstdio>
#include <ctime>
#include <vector>

#include "core/zorvik_api.h"
#include "platform/framework/cstring.h"
#include "platform/framework/win_types.h"

class ZORVIK_API CFileException {
public:
    enum {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException() = default;
    CFileException(int cause, long os_error = -1, const char* file_name = nullptr)
        : m_cause(cause), m_lOsError(os_error), m_strFileName(file_name) {}

    // Maps an errno value to the cause codes above.
    static int OsErrorToException(int err);

    int m_cause = none;
    long m_lOsError = -1;
    CString m_strFileName;
};

struct CFileStatus {
    std::time_t m_mtime = 0;  // last modification, seconds since the epoch
    ULONGLONG m_size = 0;
    BYTE m_attribute = 0;
    CString m_szFullName;
};

class ZORVIK_API CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    CFile() = default;
    CFile(const char* name, UINT flags);  // throws CFileException when the open fails
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    virtual BOOL Open(const char* name, UINT flags, CFileException* error = nullptr);
    // Returns the bytes read, fewer at the end of the file.
    virtual UINT Read(void* buffer, UINT count);
    virtual void Write(const void* buffer, UINT count);
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    virtual ULONGLONG GetLength() const;
    virtual ULONGLONG GetPosition() const;
    virtual void SetLength(ULONGLONG length);
    virtual void Flush();
    virtual void Close();
    // Closes without throwing.
    virtual void Abort();
    BOOL GetStatus(CFileStatus& status) const;
    static BOOL GetStatus(const char* name, CFileStatus& status);
    const CString& GetFilePath() const { return path_; }
    bool IsOpen() const { return fd_ >= 0; }
    int GetHandle() const { return fd_; }

protected:
    [[noreturn]] void ThrowOsError(int err) const;

private:
    int fd_ = -1;
    CString path_;
};

// A file held in memory: reads from and writes to a growable byte vector.
class ZORVIK_API CMemFile : public CFile {
public:
    CMemFile() = default;
    CMemFile(const BYTE* data, size_t size) : data_(data, data + size) {}

    BOOL Open(const char*, UINT, CFileException* = nullptr) override { return FALSE; }
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    ULONGLONG Seek(LONGLONG offset, UINT from) override;
    ULONGLONG GetLength() const override { return data_.size(); }
    ULONGLONG GetPosition() const override { return pos_; }
    void SetLength(ULONGLONG length) override { data_.resize(length); if (pos_ > length) pos_ = length; }
    void Flush() override {}
    void Close() override {}
    void Abort() override {}

    const std::vector<BYTE>& data() const { return data_; }

private:
    std::vector<BYTE> data_;
    size_t pos_ = 0;
};
