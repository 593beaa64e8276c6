// The converter's only contact with the library's image files: loading a source picture,
// learning a picture's size, and saving an output without ever leaving a half-written file.
//
// Saving writes to a temporary name beside the target (same extension, so the library
// picks the same format) and renames it over the target only when the write succeeded: a
// failed write (full disk, bad buffer) leaves an existing file of that name, which may be
// the very source being converted, as it was.
#pragma once

#include <memory>
#include <string>

#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/geometry.h"

class CImgFile;

namespace vm {

// A picture loaded through CImgFile; the pixels are freed with the object.
class LoadedImage {
public:
    LoadedImage();
    ~LoadedImage();
    LoadedImage(const LoadedImage&) = delete;
    LoadedImage& operator=(const LoadedImage&) = delete;

    CKrFrameBuffer* image();
    CSize size();
    CImgFile& file() { return *file_; }

private:
    std::unique_ptr<CImgFile> file_;
};

// Loads path (format by extension); false when it cannot be loaded.
bool load_image(const std::string& path, LoadedImage& out);

// The size of the picture in path, 0 × 0 when it cannot be loaded.
CSize probe_image_size(const std::string& path);

// Saves image to path in format (the numbers of OutputFormat): run-length Targa, JPEG at
// quality 85 without key, BMP, PICT or uncompressed Targa. True when the file is complete.
bool save_image_replacing(CKrFrameBuffer& image, const std::string& path, int format);

} // namespace vm
