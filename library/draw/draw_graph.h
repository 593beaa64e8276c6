// CDrawGraph: one caption shape (line, polyline, rectangle, rounded rectangle, ellipse, pie,
// polygon or spline) with its pen, fill switch and body, edge and shadow attributes, as an
// object that draws itself into a frame buffer and stores itself in a file ("DGO0" records;
// several may follow each other in one file).
//
// Points are in output pixels. Rectangles, ellipses and pies keep the top-left and
// bottom-right corners of their box (normalised when set), the rounded rectangle a third
// point holding its corner ellipse's width and height; lines, polylines, polygons and
// splines keep their points in order. Pie angles are degrees, 0 up, running clockwise.
//
// The object owns its three texture names; the attribute record only points at them, for
// the parts in texture mode, and ResetConnect renews those pointers after anything that
// may move the names (copies, reads, texture setters).
//
// Shape getters check the type: on a match with the points present they fill their outputs
// and return how many points they describe; otherwise they zero their outputs and return 0.
// DrawFrame and DrawFrameEria return 0, or 1 for a type outside 1 to 8; a shape with fewer
// points than its type needs draws nothing and leaves the display area as it was. Read and
// Write return 1 on success and 0 on a short read, a refused record or a file error; no
// exception leaves the object.
#pragma once

#include <vector>

#include "core/zorvik_api.h"
#include "draw/bw_draw_info.h"
#include "framebuffer/box.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cobject.h"
#include "platform/framework/cstring.h"
#include "platform/framework/win_types.h"

class CArchive;
class CKrFrameBuffer;
class CKrMonoBitmap;

class ZORVIK_API CDrawGraph : public CObject, public zk::BwAttributes<CDrawGraph> {
    DECLARE_SERIAL(CDrawGraph)

public:
    CDrawGraph();
    CDrawGraph(const CDrawGraph& o);
    CDrawGraph& operator=(const CDrawGraph& o);
    ~CDrawGraph() override;

    void SetDefault();

    // Shape setters; each replaces the points.
    void SetLine(POINT p1, POINT p2);
    void SetPolyLine(const POINT* pts, long count);
    void SetRect(const RECT* rc);
    void SetRoundRect(const RECT* rc, POINT corner);
    void SetEllipse(const RECT* rc);
    void SetPie(const RECT* rc, double deg_start, double deg_end);
    void SetPolyGon(const POINT* pts, long count);
    void SetSpline(const POINT* pts, long count);
    void SetFillMode(long mode) { m_FillMode = static_cast<std::int32_t>(mode); }
    void SetPenSize(long size) { m_PenSize = static_cast<std::int32_t>(size); }
    void SetPenType(long type) { m_PenType = static_cast<std::int32_t>(type); }

    // Shape getters. The array forms return the object's own points (valid until the shape
    // changes) with the count, or null with 0.
    long GetLine(POINT* p1, POINT* p2) const;
    const POINT* GetLine(long* count) const;
    const POINT* GetPolyLine(long* count) const;
    long GetPolyLine_Size() const;
    POINT GetPolyLine_At(long index) const;
    long GetRect(RECT* rc) const;
    RECT GetRect() const;
    const POINT* GetRect(long* count) const;
    long GetRoundRect(RECT* rc) const;
    long GetRoundRect(RECT* rc, POINT* corner) const;
    RECT GetRoundRect() const;
    const POINT* GetRoundRect(long* count) const;
    POINT GetRoundRect_RSize() const;
    long GetEllipse(RECT* rc) const;
    RECT GetEllipse() const;
    const POINT* GetEllipse(long* count) const;
    // The angles are written whatever the type.
    long GetPie(RECT* rc, double* deg_start, double* deg_end) const;
    RECT GetPie() const;
    const POINT* GetPie(long* count) const;
    double GetPie_DegStart() const { return m_DegStart; }
    double GetPie_DegEnd() const { return m_DegEnd; }
    const POINT* GetPolyGon(long* count) const;
    long GetPolyGon_Size() const;
    POINT GetPolyGon_At(long index) const;
    const POINT* GetSpline(long* count) const;
    long GetSpline_Size() const;
    POINT GetSpline_At(long index) const;
    long GetSize() const { return static_cast<long>(m_Points.size()); }
    // Any type; a zero point when out of range.
    POINT GetAt(long index) const;
    long GetGraphType() const { return m_GraphType; }
    long GetFillMode() const { return m_FillMode; }
    long GetPenSize() const { return m_PenSize; }
    long GetPenType() const { return m_PenType; }

    // Drawing attributes, as the text object has them; the colour, edge, shadow and gradient
    // ones come from BwAttributes.
    void SetAntiScale(long n);
    void SetBodyText(long mode, const CString& file);
    void SetEdgeText(long mode, const char* file);
    void SetShadText(long mode, const char* file);

    long GetAntiScale() const { return m_Info.AntiScale; }
    CString GetBodyText(long* mode) const;
    CString GetBodyText_File() const { return m_BodyText; }
    CString GetEdgeText(long* mode) const;
    CString GetEdgeText_File() const { return m_EdgeText; }
    CString GetShadText(long* mode) const;
    CString GetShadText_File() const { return m_ShadText; }
    // The rectangle the last drawing covered.
    CBox& GetDispEria() { return m_DispEria; }
    const tagKRBWDRAWINFO* GetInfo() const { return &m_Info; }

    // Draws with the body's top-left at the mask's origin; the display area becomes the
    // rectangle written.
    int DrawFrame(CKrFrameBuffer* fb);
    // Replaces fb by a picture holding just the decorated shape; whole (also the display
    // area) is where it belongs in the caller's picture, body, edge and shadow where the
    // layers lie in it.
    int DrawFrameEria(CKrFrameBuffer* fb, CBox& whole, CBox& body, CBox& edge, CBox& shadow);
    // The shape's supersampled mask drawn as the named type from the stored points, and the
    // output pixel of its top-left block. 0, or -1 when nothing could be drawn (too few
    // points, an unsupported AntiScale, a mask past the size limit).
    int DispBwBmp_Line(CKrMonoBitmap* mask, POINT* origin) const;
    int DispBwBmp_PolyLine(CKrMonoBitmap* mask, POINT* origin) const;
    int DispBwBmp_Rect(CKrMonoBitmap* mask, POINT* origin) const;
    int DispBwBmp_RoundRect(CKrMonoBitmap* mask, POINT* origin) const;
    int DispBwBmp_Ellipse(CKrMonoBitmap* mask, POINT* origin) const;
    int DispBwBmp_Pie(CKrMonoBitmap* mask, POINT* origin) const;
    int DispBwBmp_PolyGon(CKrMonoBitmap* mask, POINT* origin) const;
    int DispBwBmp_Spline(CKrMonoBitmap* mask, POINT* origin) const;
    // The point at deg degrees (0 up, clockwise) on a circle of radius rx, rounded half away
    // from zero; ry is not used.
    void GetDegAdd(double deg, long rx, long ry, POINT* pos) const;

    int Write(CFile* file);
    int Read(CFile* file);
    // Reads or writes the record directly on the archive's file.
    void Serialize(CArchive& ar) override;
    // Points the record's texture names at the object's own strings for the parts in texture
    // mode, and clears the others.
    void ResetConnect();

private:
    friend class zk::BwAttributes<CDrawGraph>;
    tagKRBWDRAWINFO& bw_record() { return m_Info; }
    const tagKRBWDRAWINFO& bw_record() const { return m_Info; }
    void set_shape(std::int32_t type, const POINT* pts, long count);
    long check_shape(std::int32_t type, long needed) const;
    const POINT* shape_array(std::int32_t type, long needed, long* count) const;
    POINT shape_at(std::int32_t type, long index) const;
    long box_of(std::int32_t type, long needed, RECT* rc) const;
    int make_mask(std::int32_t as_type, CKrMonoBitmap* mask, POINT* origin) const;
    // 0 drawn, 1 unknown type, -1 nothing to draw.
    int prepare(CKrMonoBitmap& mask);

    std::int32_t m_GraphType = 0;
    std::int32_t m_FillMode = 0;
    std::int32_t m_PenSize = 0;
    std::int32_t m_PenType = 0;
    std::vector<POINT> m_Points;
    double m_DegStart = 0;
    double m_DegEnd = 0;
    tagKRBWDRAWINFO m_Info{};
    CString m_BodyText;
    CString m_EdgeText;
    CString m_ShadText;
    CBox m_DispEria;
};
