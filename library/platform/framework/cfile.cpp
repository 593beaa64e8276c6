// CFile over POSIX file descriptors, and CMemFile.
#include "platform/framework/cfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int CFileException::OsErrorToException(int err)
{
    switch (err) {
    case 0: return none;
    case ENOENT: return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return badPath;
    case EMFILE:
    case ENFILE: return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return accessDenied;
    case EBADF: return invalidFile;
    case EBUSY:
    case ETXTBSY: return sharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return diskFull;
    case EIO: return hardIO;
    case ESPIPE:
    case EINVAL:
    case EOVERFLOW: return badSeek;
    default: return genericException;
    }
}

CFile::CFile(const char* name, UINT flags)
{
    CFileException e;
    if (!Open(name, flags, &e)) throw e;
}

CFile::~CFile()
{
    Abort();
}

BOOL CFile::Open(const char* name, UINT flags, CFileException* error)
{
    if (fd_ >= 0) Abort();
    if (!name || !*name) {
        if (error) *error = CFileException(CFileException::badPath, ENOENT, name);
        return FALSE;
    }
    int oflags = O_CLOEXEC;
    switch (flags & 3) {
    case modeWrite: oflags |= O_WRONLY; break;
    case modeReadWrite: oflags |= O_RDWR; break;
    default: oflags |= O_RDONLY; break;
    }
    if (flags & modeCreate) {
        oflags |= O_CREAT;
        if (!(flags & modeNoTruncate)) oflags |= O_TRUNC;
    }
    const int fd = ::open(name, oflags, 0666);
    if (fd < 0) {
        const int err = errno;
        if (error) *error = CFileException(CFileException::OsErrorToException(err), err, name);
        return FALSE;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (error) *error = CFileException(CFileException::accessDenied, EISDIR, name);
        return FALSE;
    }
    fd_ = fd;
    path_ = name;
    return TRUE;
}

void CFile::ThrowOsError(int err) const
{
    throw CFileException(CFileException::OsErrorToException(err), err, path_);
}

UINT CFile::Read(void* buffer, UINT count)
{
    if (fd_ < 0) throw CFileException(CFileException::invalidFile, EBADF, path_);
    auto* p = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd_, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowOsError(errno);
        }
        if (n == 0) break;
        done += static_cast<UINT>(n);
    }
    return done;
}

void CFile::Write(const void* buffer, UINT count)
{
    if (fd_ < 0) throw CFileException(CFileException::invalidFile, EBADF, path_);
    const auto* p = static_cast<const char*>(buffer);
    UINT done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowOsError(errno);
        }
        if (n == 0) throw CFileException(CFileException::diskFull, ENOSPC, path_);
        done += static_cast<UINT>(n);
    }
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from)
{
    if (fd_ < 0) throw CFileException(CFileException::invalidFile, EBADF, path_);
    const int whence = from == current ? SEEK_CUR : from == end ? SEEK_END : SEEK_SET;
    const off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (r < 0) throw CFileException(CFileException::badSeek, errno, path_);
    return static_cast<ULONGLONG>(r);
}

ULONGLONG CFile::GetLength() const
{
    if (fd_ < 0) throw CFileException(CFileException::invalidFile, EBADF, path_);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) ThrowOsError(errno);
    return static_cast<ULONGLONG>(st.st_size);
}

ULONGLONG CFile::GetPosition() const
{
    if (fd_ < 0) throw CFileException(CFileException::invalidFile, EBADF, path_);
    const off_t r = ::lseek(fd_, 0, SEEK_CUR);
    if (r < 0) ThrowOsError(errno);
    return static_cast<ULONGLONG>(r);
}

void CFile::SetLength(ULONGLONG length)
{
    if (fd_ < 0) throw CFileException(CFileException::invalidFile, EBADF, path_);
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) ThrowOsError(errno);
}

void CFile::Flush()
{
    // Writes go straight to the descriptor; nothing is buffered here.
}

void CFile::Close()
{
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) ThrowOsError(errno);
}

void CFile::Abort()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

static void fill_status(const struct stat& st, const char* name, CFileStatus& status)
{
    status.m_mtime = st.st_mtime;
    status.m_size = static_cast<ULONGLONG>(st.st_size);
    status.m_attribute = S_ISDIR(st.st_mode) ? 0x10 : 0;
    if (!(st.st_mode & S_IWUSR)) status.m_attribute |= 0x01;  // read-only
    status.m_szFullName = name;
}

BOOL CFile::GetStatus(CFileStatus& status) const
{
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return FALSE;
    fill_status(st, path_, status);
    return TRUE;
}

BOOL CFile::GetStatus(const char* name, CFileStatus& status)
{
    struct stat st {};
    if (!name || ::stat(name, &st) != 0) return FALSE;
    fill_status(st, name, status);
    return TRUE;
}

UINT CMemFile::Read(void* buffer, UINT count)
{
    const size_t avail = pos_ < data_.size() ? data_.size() - pos_ : 0;
    const size_t n = std::min<size_t>(count, avail);
    if (n) std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return static_cast<UINT>(n);
}

void CMemFile::Write(const void* buffer, UINT count)
{
    if (pos_ + count > data_.size()) data_.resize(pos_ + count);
    if (count) std::memcpy(data_.data() + pos_, buffer, count);
    pos_ += count;
}

ULONGLONG CMemFile::Seek(LONGLONG offset, UINT from)
{
    LONGLONG base = from == current ? static_cast<LONGLONG>(pos_)
                  : from == end     ? static_cast<LONGLONG>(data_.size())
                                    : 0;
    const LONGLONG target = base + offset;
    if (target < 0) throw CFileException(CFileException::badSeek, EINVAL);
    pos_ = static_cast<size_t>(target);
    return pos_;
}
