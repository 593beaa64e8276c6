// The one-bit shape rasteriser against Cairo drawing the same shapes, unantialiased, on a
// one-bit surface of the same size: a full-screen caption shape at 16 times supersampling,
// as the graphic object renders it (mask about 11.5k by 7.8k pixels).
#include <benchmark/benchmark.h>

#include <cairo.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "platform/gdi_shape/gdi_shape.h"

using namespace zk::gdi;

namespace {

constexpr long kW = 720 * 16, kH = 486 * 16;
constexpr double kPen = 6 * 16;

enum class Shape { filled_ellipse, round_polyline, mitred_polygon, pie };

std::vector<POINT> zigzag()
{
    std::vector<POINT> p;
    for (int i = 0; i <= 24; ++i) p.push_back(POINT{LONG(200 + i * 450), LONG(i % 2 ? 7000 : 700)});
    return p;
}

void draw_ours(Shape shape, ShapeDC& dc)
{
    const std::vector<POINT> pts = zigzag();
    switch (shape) {
    case Shape::filled_ellipse:
        dc.SelectPen(ExtCreatePen(PS_GEOMETRIC | PS_ENDCAP_ROUND | PS_JOIN_ROUND, long(kPen), true));
        dc.SelectBrush(Brush::white);
        dc.Ellipse(100, 100, kW - 100, kH - 100);
        break;
    case Shape::round_polyline:
        dc.SelectPen(ExtCreatePen(PS_GEOMETRIC | PS_ENDCAP_ROUND | PS_JOIN_ROUND, long(kPen), true));
        dc.MoveTo(pts[0].x, pts[0].y);
        for (size_t i = 1; i < pts.size(); ++i) dc.LineTo(pts[i].x, pts[i].y);
        break;
    case Shape::mitred_polygon:
        dc.SelectPen(ExtCreatePen(PS_GEOMETRIC | PS_ENDCAP_FLAT | PS_JOIN_MITER, long(kPen), true));
        dc.SelectBrush(Brush::black);
        dc.Polygon(pts.data(), int(pts.size()));
        break;
    case Shape::pie:
        dc.SelectPen(ExtCreatePen(PS_GEOMETRIC | PS_ENDCAP_ROUND | PS_JOIN_ROUND, long(kPen), true));
        dc.SelectBrush(Brush::white);
        dc.SetArcDirection(AD_CLOCKWISE);
        dc.Pie(100, 100, kW - 100, kH - 100, kW / 2 + 1000, 0, 0, kH / 2 + 500);
        break;
    }
}

void draw_cairo(Shape shape, cairo_t* cr)
{
    // GDI's integer coordinates are pixel centres; Cairo's pixel centres sit at +0.5.
    cairo_translate(cr, 0.5, 0.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_line_width(cr, kPen);
    const std::vector<POINT> pts = zigzag();
    switch (shape) {
    case Shape::filled_ellipse:
    case Shape::pie: {
        cairo_save(cr);
        cairo_translate(cr, kW / 2.0 - 0.5, kH / 2.0 - 0.5);
        cairo_scale(cr, (kW - 201) / 2.0, (kH - 201) / 2.0);
        if (shape == Shape::pie) {
            cairo_move_to(cr, 0, 0);
            cairo_arc(cr, 0, 0, 1, -0.2, 2.6);
            cairo_close_path(cr);
        } else {
            cairo_arc(cr, 0, 0, 1, 0, 2 * std::numbers::pi);
        }
        cairo_restore(cr);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_fill_preserve(cr);
        cairo_stroke(cr);
        break;
    }
    case Shape::round_polyline:
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        for (size_t i = 1; i < pts.size(); ++i) {
            cairo_move_to(cr, pts[i - 1].x, pts[i - 1].y);
            cairo_line_to(cr, pts[i].x, pts[i].y);
            cairo_stroke(cr);
        }
        break;
    case Shape::mitred_polygon:
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        cairo_set_miter_limit(cr, 10);
        cairo_move_to(cr, pts[0].x, pts[0].y);
        for (size_t i = 1; i < pts.size(); ++i) cairo_line_to(cr, pts[i].x, pts[i].y);
        cairo_close_path(cr);
        cairo_stroke(cr);
        break;
    }
}

void ours(benchmark::State& state, Shape shape)
{
    for (auto _ : state) {
        ShapeDC dc;
        dc.CreateBitmap(kW, kH);
        draw_ours(shape, dc);
        benchmark::DoNotOptimize(dc.raster().bits().data());
    }
}

void with_cairo(benchmark::State& state, Shape shape)
{
    for (auto _ : state) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A1, kW, kH);
        cairo_t* cr = cairo_create(s);
        draw_cairo(shape, cr);
        cairo_surface_flush(s);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(s));
        cairo_destroy(cr);
        cairo_surface_destroy(s);
    }
}

} // namespace

BENCHMARK_CAPTURE(ours, filled_ellipse_x16, Shape::filled_ellipse)->Name("filled_ellipse_x16.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(with_cairo, filled_ellipse_x16, Shape::filled_ellipse)->Name("filled_ellipse_x16.cairo")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ours, round_polyline_x16, Shape::round_polyline)->Name("round_polyline_x16.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(with_cairo, round_polyline_x16, Shape::round_polyline)->Name("round_polyline_x16.cairo")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ours, mitred_polygon_x16, Shape::mitred_polygon)->Name("mitred_polygon_x16.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(with_cairo, mitred_polygon_x16, Shape::mitred_polygon)->Name("mitred_polygon_x16.cairo")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ours, pie_x16, Shape::pie)->Name("pie_x16.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(with_cairo, pie_x16, Shape::pie)->Name("pie_x16.cairo")->Unit(benchmark::kMillisecond);
