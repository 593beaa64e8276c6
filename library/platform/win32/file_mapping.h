// A whole file mapped into memory: what CreateFile, CreateFileMapping and MapViewOfFile give
// together on Windows, as one object that unmaps and closes when it goes.
//
// The view is shared with the file: what is written into a writable view reaches the file.
// Pointers into the view are valid while the object lives.
#pragma once

#include <cstddef>
#include <memory>

namespace zk {

class FileMapping {
public:
    // An existing file, mapped for reading. Null when it cannot be opened or mapped (an empty
    // file cannot be mapped).
    static std::unique_ptr<FileMapping> open_for_reading(const char* path);
    // A file created (or emptied) with exactly `size` bytes, mapped for reading and writing.
    // Null when it cannot be created, sized or mapped, or when `size` is 0.
    static std::unique_ptr<FileMapping> create_for_writing(const char* path, std::size_t size);

    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    unsigned char* data() const { return view_; }
    std::size_t size() const { return size_; }

private:
    FileMapping(int file, unsigned char* view, std::size_t size) : file_(file), view_(view), size_(size) {}
    // Maps `size` bytes of an open file; closes the file when that fails.
    static std::unique_ptr<FileMapping> map_or_close(int file, std::size_t size, int protection);

    int file_;
    unsigned char* view_;
    std::size_t size_;
};

} // namespace zk
