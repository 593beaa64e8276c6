// The renderer's public classes used through libzorvik.so alone, as a host program would.
#include <gtest/gtest.h>

#include "draw/bw_draw_info.h"
#include "draw/kr_bw_draw.h"
#include "framebuffer/kr_bitmaps.h"
#include "framebuffer/kr_frame_buffer.h"

TEST(SharedLibrary, RendererClassesLinkAndDraw)
{
    CBwDrawInfo info;
    info.SetAntiScale(4);
    info.SetBodyCol(0xFFFFFFFF);
    info.SetEdgeCol(0xFF000000);
    info.SetEdgeType(0, 2, 0);
    info.SetShadText(1, "none.tga");
    CBwDrawInfo copy(info);
    EXPECT_EQ(copy.GetShadText_File(), CString("none.tga"));

    CKrMonoBitmap mask;
    ASSERT_EQ(mask.Create(32, 8), 0);
    mask.SetPixel(3, 3, true);
    CKrFrameBuffer target(40, 30, 1);
    CBox box;
    CKrBwDraw draw;
    EXPECT_EQ(draw.DispFb(&target, info.GetInfo(), &mask, &box), 0);
    EXPECT_EQ(box, CBox(0L, 0L, 10L, 4L));  // the edge, cut at the top-left corner

    CKrGrayBitmap grey;
    ASSERT_EQ(grey.Create(40, 30), 0);
    CKrFrameBuffer other(40, 30, 1);
    EXPECT_EQ(other.FbCopyMask(&target, &grey, 0, 0, 40, 30, 0, 0, nullptr), 0);
    CBox whole, body, edge, shadow;
    EXPECT_EQ(target.SetEdge(&other, info.GetInfo(), whole, body, edge, shadow), 0);
}
