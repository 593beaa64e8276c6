// Puts what an effect core asked for on one field into the graphics output.
//
// A core describes a field's write (zk::fx::FieldWrite: which field, which rectangle of which
// picture, where to); the controllers that own those pictures hand it here with the picture
// meant, and it goes to the front area through CMQGraph::GfbFrWrite_First or
// GfbFrWrite_Second. One place, so fades, slides and animations write fields the same way.
#pragma once

#include "effects/field_output.h"
#include "framebuffer/kr_frame_buffer.h"

class CMQGraph;

namespace zk {

// 0, or -1 when the picture holds no pixels or the graph refused the write (nothing of the
// rectangle left after clipping, no graphics device).
long write_field(CMQGraph& graph, const CKrFrameBuffer& picture, const fx::FieldWrite& write);

} // namespace zk
