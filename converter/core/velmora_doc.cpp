// The document: settings, and the conversion of one file.
#include "velmora_doc.h"

#include <cstdio>
#include <string>

#include "image_io.h"
#include "message_box.h"
#include "smooth_filter.h"

void CVelmoraDoc::ReadSettings(const std::string& ini_path)
{
    const vm::VelmoraProfile p = vm::read_velmora_profile(ini_path);
    Preset1 = p.Preset1;
    Preset2 = p.Preset2;
    m_strIniSrcPath = p.SrcPath.c_str();
    m_strIniDstPath = p.DstPath.c_str();
    m_nCustom = p.Custom;
    m_nPathFlg = p.PathFlg;
}

void CVelmoraDoc::ResetCustomExtras()
{
    CurrentSettings.nCutX = CurrentSettings.nCutY = CurrentSettings.nCutW = CurrentSettings.nCutH = 0;
    CurrentSettings.nFilter = CurrentSettings.nKey = 0;
    Preset1.nFilter = Preset1.nKey = 0;
    Preset2.nFilter = Preset2.nKey = 0;
}

int CVelmoraDoc::ConvertFile(const CString& src, const CString& dst, int aspect, int format)
{
    m_bLastWriteOk = false;
    vm::LoadedImage loaded;
    if (!vm::load_image(src.str(), loaded)) {
        CString text;
        text.Format("画像の読込に失敗しました。\n%s", src.GetString());
        vm::message_box(text.str());
        return 0;
    }
    CKrFrameBuffer* image = loaded.image();
    const CSize size = loaded.size();
    switch (format) {
    case vm::kFormatTgaRle: WriteTgaRle(image, dst, size.cx, size.cy, aspect); break;
    case vm::kFormatJpeg: WriteJpeg(image, dst, size.cx, size.cy, aspect); break;
    case vm::kFormatBmp: WriteBmp(image, dst, size.cx, size.cy, aspect); break;
    case vm::kFormatPict: WritePict(image, dst, size.cx, size.cy, aspect); break;
    case vm::kFormatTgaRaw: WriteTgaRaw(image, dst, size.cx, size.cy, aspect); break;
    default: break;
    }
    return 1;
}

int CVelmoraDoc::WriteTgaRle(CKrFrameBuffer* image, const CString& path, long w, long h, int aspect)
{
    return write_output(image, path, w, h, aspect, vm::kFormatTgaRle);
}

int CVelmoraDoc::WriteJpeg(CKrFrameBuffer* image, const CString& path, long w, long h, int aspect)
{
    return write_output(image, path, w, h, aspect, vm::kFormatJpeg);
}

int CVelmoraDoc::WriteBmp(CKrFrameBuffer* image, const CString& path, long w, long h, int aspect)
{
    return write_output(image, path, w, h, aspect, vm::kFormatBmp);
}

int CVelmoraDoc::WritePict(CKrFrameBuffer* image, const CString& path, long w, long h, int aspect)
{
    return write_output(image, path, w, h, aspect, vm::kFormatPict);
}

int CVelmoraDoc::WriteTgaRaw(CKrFrameBuffer* image, const CString& path, long w, long h, int aspect)
{
    return write_output(image, path, w, h, aspect, vm::kFormatTgaRaw);
}

int CVelmoraDoc::write_output(CKrFrameBuffer* image, const CString& path, long w, long h, int aspect, int format)
{
    CKrFrameBuffer output;
    const bool ok = image && vm::render_output(*image, w, h, aspect, format, CurrentSettings, output) == 0 &&
                    vm::save_image_replacing(output, path.str(), format);
    m_bLastWriteOk = ok;
    if (!ok) {
        CString text;
        text.Format("画像の保存に失敗しました。\n%s", path.GetString());
        vm::message_box(text.str());
        return 0;
    }
    return 1;
}

int CVelmoraDoc::SmoothFilter(CKrFrameBuffer* src, CKrFrameBuffer* dst)
{
    if (!src || !dst || src->IsBuffer() == 1) return -1;
    if (src == dst) {
        // The pass reads neighbours it has already written otherwise.
        CKrFrameBuffer copy(*src);
        return SmoothFilter(&copy, dst);
    }
    if (dst->IsBuffer() == 1 || dst->GetWidth() != src->GetWidth() || dst->GetHeight() != src->GetHeight()) {
        dst->DeleteFrameBuffer();
        if (dst->CreateFrameBuffer(static_cast<long>(src->GetWidth()), static_cast<long>(src->GetHeight()), 0) != 0) {
            return -1;
        }
    }
    vm::smooth_pixels(src->GetBufferDWord(), dst->GetBufferDWord(), static_cast<long>(src->GetWidth()),
                      static_cast<long>(src->GetHeight()));
    return 0;
}

CSize CVelmoraDoc::GetImageSize(const CString& path)
{
    return vm::probe_image_size(path.str());
}
