// Uses the public classes the way a host program does, through libzorvik.so only: every
// inline member that reaches into the library must find an exported symbol.
#include <gtest/gtest.h>

#include "framebuffer/box.h"
#include "framebuffer/kr_bitmaps.h"
#include "framebuffer/kr_frame_buffer.h"
#include "framebuffer/mtx_color.h"
#include "platform/framework/carchive.h"
#include "platform/framework/cstring.h"

TEST(SharedLibrary, PublicClassesLinkAndWork)
{
    CKrFrameBuffer a(8, 4, 1), b;
    a.ClearCol(0xFF112233);
    b = a;
    CBox done;
    EXPECT_EQ(b.FbCopy(&a, 0, 0, 8, 4, 0, 0, 1, &done), 0);
    EXPECT_EQ(done.ChEria(), 1);
    CKrFrameBuffer c;
    EXPECT_EQ(a.SizeChange(&c, 4, 2), 0);

    CKrMonoBitmap m, m2;
    ASSERT_EQ(m.Create(17, 3), 0);
    m2 = m;
    CKrGrayBitmap g(CKrGrayBitmap{});
    EXPECT_EQ(g.Create(3, 2), 0);

    MtxColor mc;
    EXPECT_EQ(mc.ARGBtoYUV(0xFF000000), 0xFF008080u);

    CString s;
    s.Format("%d", 42);
    CMemFile f;
    CArchive ar(&f, CArchive::store);
    ar << s;
    EXPECT_GT(f.GetLength(), 0u);
}
