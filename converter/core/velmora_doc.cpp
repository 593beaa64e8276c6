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

std::string CVelmoraDoc::OutputSizeProblem(int aspect, const vm::tagCONVSETTING& settings)
{
    if (aspect != vm::kAspectCustom || (settings.nWidth >= 1 && settings.nHeight >= 1)) return std::string();
    CString text;
    text.Format("出力サイズが正しくありません（幅 %d、高さ %d）。\nカスタム設定で1以上の幅と高さを指定して下さい。",
                static_cast<int>(settings.nWidth), static_cast<int>(settings.nHeight));
    return text.str();
}

int CVelmoraDoc::ConvertFile(const CString& src, const CString& dst, int aspect, int format)
{
    m_bLastWriteOk = false;
    m_eLastFailure = Failure::none;
    vm::LoadedImage loaded;
    if (!vm::load_image(src.str(), loaded)) {
        m_eLastFailure = Failure::load;
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
    m_bLastWriteOk = false;
    const CSize target = vm::target_size(w, h, aspect, CurrentSettings);
    if (target.cx < 1 || target.cy < 1) {
        // Not a failed save: no file could have been written at that size.
        m_eLastFailure = Failure::output_size;
        CString text;
        text.Format("出力サイズが正しくありません（幅 %ld、高さ %ld）。\n%s", static_cast<long>(target.cx),
                    static_cast<long>(target.cy), path.GetString());
        vm::message_box(text.str());
        return 0;
    }
    CKrFrameBuffer output;
    if (!image || vm::render_output(*image, w, h, aspect, format, CurrentSettings, output) != 0) {
        m_eLastFailure = Failure::render;
        CString text;
        text.Format("メモリ不足のため変換できませんでした。\n%s", path.GetString());
        vm::message_box(text.str());
        return 0;
    }
    if (!vm::save_image_replacing(output, path.str(), format)) {
        m_eLastFailure = Failure::save;
        CString text;
        text.Format("画像の保存に失敗しました。\n%s", path.GetString());
        vm::message_box(text.str());
        return 0;
    }
    m_bLastWriteOk = true;
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
