// The field write of an effect's picture into the graphics output.
#include "effects/gfb_field_write.h"

#include "core/errors.h"
#include "onair/mq_graph.h"

namespace zk {

long write_field(CMQGraph& graph, const CKrFrameBuffer& picture, const fx::FieldWrite& w)
{
    if (picture.IsBuffer() != 0) return ZK_FAIL(-1);
    const auto width = static_cast<long>(picture.GetWidth());
    const auto height = static_cast<long>(picture.GetHeight());
    const unsigned char* pixels = picture.GetBufferByte();
    const long rc = w.field == fx::Field::Second
                        ? graph.GfbFrWrite_Second(pixels, width, height, w.src_x, w.src_y, w.width, w.height, w.dst_x,
                                                  w.dst_y)
                        : graph.GfbFrWrite_First(pixels, width, height, w.src_x, w.src_y, w.width, w.height, w.dst_x,
                                                 w.dst_y);
    return rc == 0 ? 0 : ZK_FAIL(-1);
}

} // namespace zk
