// The graphic object used through libzorvik.so alone, as a host program would: created by its
// class name, drawn into a picture, stored and loaded again.
#include <gtest/gtest.h>

#include <memory>

#include "draw/draw_graph.h"
#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cobject.h"

TEST(SharedLibrary, GraphicObjectLinksDrawsAndStores)
{
    std::unique_ptr<CObject> obj(CRuntimeClass::CreateObject("CDrawGraph"));
    ASSERT_NE(obj, nullptr);
    ASSERT_TRUE(obj->IsKindOf(RUNTIME_CLASS(CDrawGraph)));
    auto& g = static_cast<CDrawGraph&>(*obj);
    const RECT rc{4, 3, 20, 12};
    g.SetEllipse(&rc);
    g.SetFillMode(1);
    g.SetAntiScale(4);
    g.SetEdgeType(0, 1, 0);

    CKrFrameBuffer fb(32, 24, 1);
    EXPECT_EQ(g.DrawFrame(&fb), 0);
    EXPECT_GT(g.GetDispEria().width, 0);
    CBox whole, body, edge, shadow;
    CKrFrameBuffer part;
    EXPECT_EQ(g.DrawFrameEria(&part, whole, body, edge, shadow), 0);
    EXPECT_EQ(whole.width, static_cast<long>(part.GetWidth()));

    CMemFile f;
    ASSERT_EQ(g.Write(&f), 1);
    CMemFile in(f.data().data(), f.data().size());
    CDrawGraph back;
    ASSERT_EQ(back.Read(&in), 1);
    EXPECT_EQ(back.GetGraphType(), 5);
    EXPECT_EQ(back.GetEllipse().right, 20);
}
