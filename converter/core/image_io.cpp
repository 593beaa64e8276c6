// Loading and saving through the library's image-file facade and Targa codec.
#include "image_io.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "convert_pipeline.h"
#include "imagefile/img_file.h"
#include "imagefile/targa_image.h"

namespace vm {

namespace {

// A tag drawn once per run, so two converters writing into one folder never pick the same
// temporary name.
unsigned run_tag()
{
    static const unsigned tag = std::random_device{}();
    return tag;
}

// "<dir>/<stem>.~vm<run>-<n>.<ext>": hidden from nobody, but unmistakable if a crash ever
// leaves one behind, and with the target's extension so the format stays the same.
std::string temporary_name(const std::string& path)
{
    static std::atomic<unsigned> counter{0};
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const bool has_ext = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = has_ext ? path.substr(0, dot) : path;
    const std::string ext = has_ext ? path.substr(dot) : std::string(".tga");
    char tag[64];
    std::snprintf(tag, sizeof tag, ".~vm%08x-%u", run_tag(), counter.fetch_add(1));
    return stem + tag + ext;
}

bool save_to(CKrFrameBuffer& image, const std::string& path, int format)
{
    if (format == kFormatTgaRaw) {
        CKrTargaImage targa;
        CString name(path);
        return targa.SaveImage(&name, &image, 0) == 0;
    }
    CImgFile file;
    if (format == kFormatJpeg) return file.SaveImage(&image, CString(path), 85, 0) == 0;
    return file.SaveImage(&image, CString(path)) == 0;
}

} // namespace

LoadedImage::LoadedImage() : file_(std::make_unique<CImgFile>()) {}

LoadedImage::~LoadedImage()
{
    file_->DeleteImage();
}

CKrFrameBuffer* LoadedImage::image()
{
    return file_->GetImg();
}

CSize LoadedImage::size()
{
    return file_->GetSize();
}

bool load_image(const std::string& path, LoadedImage& out)
{
    // The file layer's errors are meant to be caught inside the library; should one slip
    // through, a picture that cannot be read is still only a failed load.
    try {
        return out.file().LoadImage(CString(path)) == 0;
    } catch (...) {
        out.file().DeleteImage();
        return false;
    }
}

CSize probe_image_size(const std::string& path)
{
    LoadedImage img;
    if (!load_image(path, img)) return CSize(0, 0);
    return img.size();
}

bool save_image_replacing(CKrFrameBuffer& image, const std::string& path, int format)
{
    if (image.IsBuffer() == 1) return false;
    const std::string temp = temporary_name(path);
    bool saved = false;
    try {
        saved = save_to(image, temp, format);
    } catch (...) {
        saved = false;
    }
    std::error_code ignored;
    if (!saved) {
        std::filesystem::remove(temp, ignored);
        return false;
    }
    std::error_code renamed;
    std::filesystem::rename(temp, path, renamed);
    if (renamed) {
        std::filesystem::remove(temp, ignored);
        return false;
    }
    return true;
}

} // namespace vm
