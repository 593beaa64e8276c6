// CVelmoraDoc: the converter's document. It holds the folders, the settings read from
// Velmora.INI and the custom values in force, and converts one file at a time through the
// library's CImgFile, CKrFrameBuffer and CKrTargaImage.
//
// It needs no window: the form view and the batch mode drive the same object. Everything it
// has to tell the user goes through vm::message_box.
#pragma once

#include <cstdint>
#include <string>

#include "convert_pipeline.h"
#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/cstring.h"
#include "platform/framework/geometry.h"
#include "velmora_settings.h"

class CVelmoraDoc {
public:
    CVelmoraDoc() = default;

    void SetTitle(const CString& title) { m_strTitle = title; }
    const CString& GetTitle() const { return m_strTitle; }

    // Reads the settings file (presets, folders, selector, start-up flag). Called once, when
    // the form is first shown or the batch starts.
    void ReadSettings(const std::string& ini_path);

    // "拡大", "縮小" and "OFF" take no cut, no smoothing and key mode 0, and forget the
    // passes and key modes of both presets; the custom width and height stay.
    void ResetCustomExtras();

    // Loads src, writes it to dst in format after the aspect treatment. 1 when the source was
    // loaded, 0 when it was not ("画像の読込に失敗しました。\n%s" was shown). Whether the
    // output was written is in LastWriteSucceeded(), and what went wrong in LastFailure().
    int ConvertFile(const CString& src, const CString& dst, int aspect, int format);
    bool LastWriteSucceeded() const { return m_bLastWriteOk; }

    // What the last ConvertFile could not do, for callers that word it themselves.
    enum class Failure {
        none,
        load,         // the source could not be loaded
        output_size,  // the output width or height is below 1
        render,       // a buffer for the output could not be made
        save,         // the output file could not be written
    };
    Failure LastFailure() const { return m_eLastFailure; }

    // "出力サイズが正しくありません。..." for a custom size that is no picture size, or "" when
    // the size is one. The window checks it before a run, so the user hears it once.
    static std::string OutputSizeProblem(int aspect, const vm::tagCONVSETTING& settings);

    // One writer per format; each renders image (w × h) and saves it to path. 1 when the
    // file was written; 0 when not, after "画像の保存に失敗しました。\n%s" (or the output size
    // message) was shown.
    int WriteTgaRle(CKrFrameBuffer* image, const CString& path, long w, long h, int aspect);
    int WriteJpeg(CKrFrameBuffer* image, const CString& path, long w, long h, int aspect);
    int WriteBmp(CKrFrameBuffer* image, const CString& path, long w, long h, int aspect);
    int WritePict(CKrFrameBuffer* image, const CString& path, long w, long h, int aspect);
    int WriteTgaRaw(CKrFrameBuffer* image, const CString& path, long w, long h, int aspect);

    // One smoothing pass from src into dst; dst is (re)made at src's size when it differs.
    // 0 on success, -1 when src holds no pixels or dst cannot be made.
    static int SmoothFilter(CKrFrameBuffer* src, CKrFrameBuffer* dst);

    // The picture size of a file, 0 × 0 when it cannot be loaded.
    static CSize GetImageSize(const CString& path);

    // Folders (the text shown in the folder edits and used to build paths).
    CString m_strDstBasePath;    // parent of the folders the new-folder dialog makes
    CString m_strNewFolderPath;  // the folder it made last
    CString m_strSrcPath;
    CString m_strDstPath;

    vm::tagCONVSETTING CurrentSettings;
    vm::tagCONVSETTING Preset1;
    vm::tagCONVSETTING Preset2;
    CString m_strIniSrcPath;
    CString m_strIniDstPath;
    std::int32_t m_nCustom = 0;
    std::int32_t m_nPathFlg = 0;

private:
    int write_output(CKrFrameBuffer* image, const CString& path, long w, long h, int aspect, int format);

    CString m_strTitle;
    bool m_bLastWriteOk = false;
    Failure m_eLastFailure = Failure::none;
};
