// CDrawGraph as an object: defaults, the shape getters' type checks, attributes, copies and
// the texture-name pointers, and the run-time class.
#include <gtest/gtest.h>

#include <cstring>

#include "draw/draw_graph.h"
#include "platform/framework/carchive.h"

namespace {

TEST(DrawGraphObject, DefaultsAreWhiteBodyBlackEdgeAndShadowNothingDrawn)
{
    CDrawGraph g;
    EXPECT_EQ(g.GetGraphType(), 0);
    EXPECT_EQ(g.GetFillMode(), 0);
    EXPECT_EQ(g.GetPenSize(), 1);
    EXPECT_EQ(g.GetPenType(), 0);
    EXPECT_EQ(g.GetSize(), 0);
    EXPECT_EQ(g.GetPie_DegStart(), 0.0);
    EXPECT_EQ(g.GetAntiScale(), 16);
    EXPECT_EQ(g.GetBodyMode(), 0);
    EXPECT_EQ(g.GetEdgeMode(), 0);
    EXPECT_EQ(g.GetShadMode(), 0);
    EXPECT_EQ(g.GetBodyCol(), 0xFFFFFFFFu);
    EXPECT_EQ(g.GetEdgeCol(), 0xFF000000u);
    EXPECT_EQ(g.GetShadCol(), 0xFF000000u);
    EXPECT_EQ(g.GetEdgeType_Size(), 0);
    EXPECT_EQ(g.GetShadType_Size(), 0);
    long mode = 9, patern = 9, x = 9, y = 9;
    DWORD c1 = 0, c2 = 0;
    g.GetBodyGrad(&mode, &patern, &x, &y, &c1, &c2);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, -1);
    EXPECT_EQ(c1, 0xFFFFFFFFu);
    EXPECT_EQ(g.GetEdgeGrad_Col2(), 0xFF000000u);
    EXPECT_EQ(g.GetShadGrad_y(), -1);
    EXPECT_EQ(g.GetBodyText(&mode), CString(""));
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(g.GetInfo()->BodyText.File, nullptr) << "no part is in texture mode";
    EXPECT_EQ(g.GetDispEria(), CBox(0L, 0L, 0L, 0L));
    EXPECT_STREQ(g.GetRuntimeClass()->m_lpszClassName, "CDrawGraph");
    EXPECT_EQ(g.GetRuntimeClass()->m_wSchema, VERSIONABLE_SCHEMA | 0u);
    CObject* made = CRuntimeClass::CreateObject("CDrawGraph");
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->IsKindOf(RUNTIME_CLASS(CDrawGraph)));
    delete made;
}

TEST(DrawGraphObject, ShapeSettersNormaliseAndGettersCheckTheType)
{
    CDrawGraph g;
    const RECT backwards{50, 40, 10, 20};
    g.SetRect(&backwards);
    EXPECT_EQ(g.GetGraphType(), 3);
    RECT rc{};
    EXPECT_EQ(g.GetRect(&rc), 2);
    EXPECT_EQ(rc.left, 10);
    EXPECT_EQ(rc.top, 20);
    EXPECT_EQ(rc.right, 50);
    EXPECT_EQ(rc.bottom, 40);
    long count = -1;
    ASSERT_NE(g.GetRect(&count), nullptr);
    EXPECT_EQ(count, 2);

    // Every other getter sees a type mismatch: zeroed outputs and 0.
    POINT p1{7, 7}, p2{7, 7};
    EXPECT_EQ(g.GetLine(&p1, &p2), 0);
    EXPECT_EQ(p1.x | p1.y | p2.x | p2.y, 0);
    rc = RECT{1, 1, 1, 1};
    EXPECT_EQ(g.GetEllipse(&rc), 0);
    EXPECT_EQ(rc.left | rc.top | rc.right | rc.bottom, 0);
    POINT corner{5, 5};
    EXPECT_EQ(g.GetRoundRect(&rc, &corner), 0);
    EXPECT_EQ(corner.x | corner.y, 0);
    EXPECT_EQ(g.GetRoundRect_RSize().x, 0);
    count = 5;
    EXPECT_EQ(g.GetPolyLine(&count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(g.GetSpline(&count), nullptr);
    EXPECT_EQ(g.GetPolyGon_Size(), 0);
    EXPECT_EQ(g.GetPolyGon_At(0).x, 0);
    EXPECT_EQ(g.GetAt(1).x, 50) << "GetAt ignores the type";
    EXPECT_EQ(g.GetAt(2).x, 0);
    EXPECT_EQ(g.GetAt(-1).x, 0);

    // The pie getter writes its angles whatever the type.
    double a = 1, b = 1;
    EXPECT_EQ(g.GetPie(&rc, &a, &b), 0);
    EXPECT_EQ(a, 0.0);
    g.SetPie(&backwards, 30.5, 275.25);
    EXPECT_EQ(g.GetPie(&rc, &a, &b), 2);
    EXPECT_EQ(a, 30.5);
    EXPECT_EQ(b, 275.25);
    EXPECT_EQ(g.GetPie().right, 50);
    g.SetLine(POINT{3, 4}, POINT{1, 2});
    EXPECT_EQ(g.GetPie(&rc, &a, &b), 0);
    EXPECT_EQ(a, 30.5) << "a new shape keeps the stored angles";
    EXPECT_EQ(g.GetLine(&p1, &p2), 2);
    EXPECT_EQ(p1.x, 3) << "a line keeps its points as given";

    g.SetRoundRect(&backwards, POINT{6, 8});
    EXPECT_EQ(g.GetRoundRect(&rc, &corner), 3);
    EXPECT_EQ(corner.y, 8);
    EXPECT_EQ(g.GetRoundRect_RSize().x, 6);
    EXPECT_EQ(g.GetRoundRect().top, 20);

    const POINT five[5] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}};
    g.SetSpline(five, 4);
    EXPECT_EQ(g.GetSpline_Size(), 4);
    EXPECT_EQ(g.GetSpline_At(3).y, 8);
    EXPECT_EQ(g.GetSpline_At(4).y, 0);
    EXPECT_EQ(g.GetSpline(&count), g.GetSpline(&count));
    EXPECT_EQ(count, 4);
    g.SetPolyGon(five, 0);
    EXPECT_EQ(g.GetGraphType(), 7);
    EXPECT_EQ(g.GetPolyGon(&count), nullptr) << "no points present";
    EXPECT_EQ(count, 0);
    g.SetPolyLine(nullptr, 3);
    EXPECT_EQ(g.GetSize(), 0);
    g.SetPolyLine(five, -2);
    EXPECT_EQ(g.GetSize(), 0);
}

TEST(DrawGraphObject, AttributesAndTextureNamesFollowCopies)
{
    CDrawGraph g;
    g.SetAntiScale(3);
    EXPECT_EQ(g.GetAntiScale(), 4);
    g.SetAntiScale(9);
    EXPECT_EQ(g.GetAntiScale(), 16);
    g.SetAntiScale(0);
    EXPECT_EQ(g.GetAntiScale(), 1);
    g.SetEdgeGrad(1, 5, 10, 20, 0x11223344, 0x55667788);
    EXPECT_EQ(g.GetEdgeMode(), 1);
    EXPECT_EQ(g.GetEdgeGrad_Patern(), 5);
    EXPECT_EQ(g.GetEdgeGrad_Col1(), 0x11223344u);
    g.SetEdgeCol(0xFF0000FF);
    EXPECT_EQ(g.GetEdgeMode(), 0);
    EXPECT_EQ(g.GetEdgeGrad_x(), 10) << "the gradient stays stored";
    g.SetShadType(2, -4, 6, 1);
    long t = 0, s = 0, ss = 0, sp = 0;
    g.GetShadType(&t, &s, &ss, &sp);
    EXPECT_EQ(t * 1000 + s * 100 + ss * 10 + sp, 2000 - 400 + 60 + 1);

    // A long name so that the string lives on the heap and moves with every copy.
    const CString body("textures/a-rather-long-body-texture-name-for-the-test.tga");
    g.SetBodyText(1, body);
    g.SetShadText(2, "shadow.tga");
    EXPECT_EQ(g.GetBodyMode(), 2);
    EXPECT_EQ(g.GetShadText_Mode(), 2);
    EXPECT_STREQ(g.GetInfo()->BodyText.File, body.GetString());
    EXPECT_EQ(g.GetInfo()->EdgeText.File, nullptr);

    CDrawGraph copy(g);
    CDrawGraph assigned;
    assigned = g;
    for (const CDrawGraph* c : {&copy, &assigned}) {
        EXPECT_EQ(c->GetBodyText_File(), body);
        EXPECT_STREQ(c->GetInfo()->BodyText.File, body.GetString());
        EXPECT_NE(c->GetInfo()->BodyText.File, g.GetInfo()->BodyText.File) << "the copy points at its own name";
        EXPECT_STREQ(c->GetInfo()->ShadText.File, "shadow.tga");
    }
    g.SetBodyText(0, CString("other.tga"));
    EXPECT_STREQ(copy.GetInfo()->BodyText.File, body.GetString());
    EXPECT_STREQ(g.GetInfo()->BodyText.File, "other.tga");
    g.SetBodyCol(0xFF00FF00);
    g.ResetConnect();
    EXPECT_EQ(g.GetInfo()->BodyText.File, nullptr);
    EXPECT_EQ(g.GetBodyText_File(), CString("other.tga")) << "the name outlives the mode";
}

} // namespace
