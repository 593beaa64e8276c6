// File mappings on POSIX: open, size and mmap the whole file, shared with it.
#include "platform/win32/file_mapping.h"

#include <fcntl.h>
#include <limits>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zk {

std::unique_ptr<FileMapping> FileMapping::map_or_close(int file, std::size_t size, int protection)
{
    void* view = ::mmap(nullptr, size, protection, MAP_SHARED, file, 0);
    if (view == MAP_FAILED) {
        ::close(file);
        return nullptr;
    }
    return std::unique_ptr<FileMapping>(new FileMapping(file, static_cast<unsigned char*>(view), size));
}

std::unique_ptr<FileMapping> FileMapping::open_for_reading(const char* path)
{
    if (!path) return nullptr;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size <= 0) {
        ::close(fd);
        return nullptr;
    }
    return map_or_close(fd, static_cast<std::size_t>(st.st_size), PROT_READ);
}

std::unique_ptr<FileMapping> FileMapping::create_for_writing(const char* path, std::size_t size)
{
    if (!path || size == 0 || size > static_cast<std::size_t>(std::numeric_limits<off_t>::max())) return nullptr;
    const int fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        ::close(fd);
        return nullptr;
    }
    return map_or_close(fd, size, PROT_READ | PROT_WRITE);
}

FileMapping::~FileMapping()
{
    ::munmap(view_, size_);
    ::close(file_);
}

} // namespace zk
