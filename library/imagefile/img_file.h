// CImgFile: loads and saves a still picture whatever its format, and remembers where and
// how it is drawn into another frame buffer.
//
// The format follows the file-name extension, compared without regard to case: ".tga"
// (Targa), ".pct" (PICT), ".bmp" (24-bit BMP, through CDib) and ".jpg" (JPEG). A name without
// extension loads the first of those four that exists and saves as a run-length Targa. The
// settings (name, position, copy mode; not the pixels) are stored as the "IFO0" record.
//
// Results: 0 success and -1 failure, except Read and Write: 1 success and 0 failure.
#pragma once

#include "core/zorvik_api.h"
#include "framebuffer/box.h"
#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/carchive.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cobject.h"
#include "platform/framework/cstring.h"
#include "platform/framework/geometry.h"

class ZORVIK_API CImgFile : public CObject {
    DECLARE_SERIAL(CImgFile)

public:
    CImgFile();
    CImgFile(CString name, long x, long y, long copy_mode);
    // Name, position, copy mode and a deep copy of the image; the key flag is not copied,
    // and the drawn area starts at zero.
    CImgFile(const CImgFile& other);
    // As the copy constructor, but the target keeps its drawn area and key flag.
    CImgFile& operator=(const CImgFile& other);
    ~CImgFile() override;

    void Serialize(CArchive& ar) override;
    int Write(CFile* file);
    int Read(CFile* file);

    void SetParam(CString name, long x, long y, long copy_mode);
    void SetFileName(CString name) { m_strFileName = name; }
    void SetAddress(long x, long y);
    void SetCopyMode(long copy_mode) { m_lCopyMode = copy_mode; }
    CString GetFileName() const { return m_strFileName; }
    CPoint GetAddress() const { return CPoint(static_cast<LONG>(m_lX), static_cast<LONG>(m_lY)); }
    void GetAddress(long* x, long* y) const;
    long GetCopyMode() const { return m_lCopyMode; }

    CKrFrameBuffer* GetImg() { return &m_Img; }
    CSize GetSize() const { return m_Img.GetWH(); }
    void GetSize(long* w, long* h) const;
    unsigned long GetImgByte() const { return m_Img.GetSize(); }
    unsigned char* GetImgBufPointer() { return m_Img.GetBufferByte(); }
    long GetKeyFlag() const { return m_lKeyFlag; }
    CBox& GetDispEria() { return m_DispEria; }

    int LoadImage();
    int LoadImage(CString name);

    int SaveImage();
    int SaveImage(CString name);
    int SaveImage(CString name, long quality, long with_key);
    int SaveImage(CKrFrameBuffer* image);
    int SaveImage(CKrFrameBuffer* image, CString name);
    int SaveImage(CKrFrameBuffer* image, CString name, long quality, long with_key);

    int DeleteImage();
    int SetImage(CKrFrameBuffer* src);
    int CopyImage(CKrFrameBuffer* src, long sx, long sy, long w, long h, long dx, long dy, long mode, CBox* done);
    int DrawFrame(CKrFrameBuffer* target);

    // A w × h copy of the image saved to path, the format following path's extension.
    int SaveIcon(CString path, long w, long h);
    // The same over the image's own name with the extension ".bmp".
    int SaveIconBmp(long w, long h);

protected:
    int LoadDispatch(const CString& name);
    int SaveDispatch(CKrFrameBuffer* image, const CString& name, long quality, long with_key);
    int LoadBmp(const CString& path);
    int SaveBmp(CKrFrameBuffer* image, const CString& path);

private:
    CString m_strFileName;
    long m_lX = 0;
    long m_lY = 0;
    long m_lCopyMode = 0;
    CKrFrameBuffer m_Img;
    CBox m_DispEria;
    long m_lKeyFlag = 0;
};
