// What the still-image codecs share at their public entry points: opening a file by path
// with the flags every codec uses, and keeping every exception inside the library.
//
// The codecs' path overloads answer the open's cause code (a positive number) when the file
// cannot be opened, and -1 for anything that goes wrong after that, including errors the file
// layer throws while reading or writing: no exception reaches the caller.
#pragma once

#include "core/errors.h"
#include "platform/framework/carchive.h"
#include "platform/framework/cfile.h"

namespace zk {

// Read: binary, others may read but not write. Write: create or truncate, binary, no sharing.
constexpr UINT kCodecReadFlags = CFile::modeRead | CFile::typeBinary | CFile::shareDenyWrite;
constexpr UINT kCodecWriteFlags = CFile::modeCreate | CFile::modeWrite | CFile::typeBinary | CFile::shareExclusive;

// Runs body() and turns any exception into -1.
template <class Body>
int guard_codec(Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return ZK_FAIL(-1);
    }
}

// Opens path and runs body(file) under guard_codec; the open's cause code when it fails.
template <class Body>
int with_codec_file(const char* path, UINT flags, Body&& body) noexcept
{
    if (!path) return ZK_FAIL(-1);
    CFile file;
    CFileException error;
    if (!file.Open(path, flags, &error)) {
        const int cause = error.m_cause > 0 ? error.m_cause : CFileException::genericException;
        return ZK_FAIL(cause);
    }
    int result = guard_codec([&] { return body(file); });
    if (result == 0 && (flags & (CFile::modeWrite | CFile::modeReadWrite))) {
        // A write that only fails when the file is closed (a full disk, say) is still a failure.
        result = guard_codec([&] {
            file.Close();
            return 0;
        });
    }
    file.Abort();
    return result;
}

// Serialize of an object that stores itself with Read(CFile*) and Write(CFile*): whatever the
// archive holds back is settled first, then the object reads or writes through its file.
template <class Object>
void serialize_through_file(CArchive& ar, Object& object) noexcept
{
    try {
        ar.Flush();
    } catch (...) {
        return;
    }
    if (ar.IsLoading())
        object.Read(ar.GetFile());
    else
        object.Write(ar.GetFile());
}

} // namespace zk
